// The real program against the simulator while things go wrong: crashes, lost answers, an unwritable or full
// exchange folder, a database server that goes away, a processor that cannot be asked. Whatever happens,
// every input ends in exactly one of: results, an error with the input archived and nothing signed, or still
// waiting; and the processor signed exactly as many invoices as the POS got results for.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>


#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/firebird_server.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";
constexpr const char* kPin = "1234";

class FaultMatrix;

struct FaultCase {
  const char* name;
  std::function<void(FaultMatrix&)> run;
};

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {
 public:
  void SetUp() override {
    pfrsim::SimOptions options;
    options.uid = kUid;
    sim = std::make_unique<pfrsim::PfrSimulator>(options);
    sim->Start();
    installation.AddCertificate({kUid, sim->BaseUrl()});
    installation.AddConfiguration("SdcReadTimeout", "2");
  }

  void TearDown() override {
    if (!verified) ExpectNothingLostOrDoubled();
    if (installation.Running()) {
      installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
      installation.WaitForExit(30s);
    }
  }

  void StartProgram() {
    installation.Start({E2eInstallation::kSoftKey, kPin, kUid});
    ASSERT_EQ(installation.WaitForStartInfo().substr(0, 3), "OK,") << installation.StderrText();
    fs::remove(installation.Output() / "start_info.txt");
  }

  void Crash() {
    installation.Signal(SIGKILL);
    installation.WaitForExit(10s);
  }

  // The program's next start dies at `moment` (see tests/support/crash_point), as in a power cut.
  void CrashAt(const std::string& moment) {
    installation.SetEnvironment("TELVANO_TEST_CRASH_AT", moment);
    installation.SetEnvironment("LD_PRELOAD", TELVANO_CRASH_POINT);
    // A sanitized program wants its runtime first among the loaded libraries; the crash point only forwards.
    const char* asan = std::getenv("ASAN_OPTIONS");
    installation.SetEnvironment("ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0");
  }
  // Waits for the crash that CrashAt set up, then starts the program again without it.
  void RestartAfterTheCrash() {
    ASSERT_TRUE(WaitFor([&] { return !installation.Running(); })) << installation.Log();
    installation.WaitForExit(1s);
    installation.ClearEnvironment();
    StartProgram();
  }

  void Drop(const std::string& base) {
    inputs.push_back(base);
    installation.Drop(base + ".csv", SampleInvoice(base));
  }

  bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }

  bool Delivered(const std::string& base) { return fs::exists(installation.Output() / (base + "_basic.csv")); }
  bool WaitForDelivery(const std::string& base) {
    const bool delivered = WaitFor([&] { return Delivered(base); }, 40s);
    EXPECT_TRUE(delivered) << base << "\nlog:\n" << installation.Log() << installation.StderrText();
    return delivered;
  }
  bool Signed() { return sim->TotalCounter() > 0; }
  std::string ErrorText(const std::string& base) {
    const fs::path file = installation.Output() / (base + "_err.txt");
    return fs::exists(file) ? ReadFileBytes(file) : std::string();
  }
  bool Held(const std::string& base) {
    return ErrorText(base).find("Ishod računa još nije poznat") != std::string::npos;
  }
  void Stop() {
    installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
    EXPECT_EQ(installation.WaitForExit(30s), 0);
  }

  // One invoice whose request `fault` strikes: it is delivered all the same, signed once.
  void DeliveredDespite(const pfrsim::Fault& fault, const std::string& base) {
    sim->QueueFault("/api/v3/invoices", fault);
    StartProgram();
    Drop(base);
    WaitForDelivery(base);
  }

  // One invoice whose answer `fault` loses while the processor cannot be asked: the POS is told to wait.
  // `counted`: the input is one of those checked at the end.
  void HoldOneInvoice(const pfrsim::Fault& fault, const std::string& base, bool counted = true) {
    sim->SetLookupAvailable(false);
    sim->QueueFault("/api/v3/invoices", fault);
    StartProgram();
    if (counted) {
      Drop(base);
    } else {
      installation.Drop(base + ".csv", SampleInvoice());
    }
    ASSERT_TRUE(WaitFor([&] { return Held(base); })) << installation.Log();
  }

  // The program is asked to end (`end`) while the processor holds a signed answer back: it ends within a
  // few seconds, and after a restart the invoice is delivered from the processor's record, signed once.
  void EndDuringASlowAnswer(const std::string& base, const std::function<void()>& end) {
    installation.AddConfiguration("SdcReadTimeout", "30");
    sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDelayed(20000));
    StartProgram();
    Drop(base);
    ASSERT_TRUE(WaitFor([&] { return Signed(); }));
    const auto asked = std::chrono::steady_clock::now();
    end();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
    StartProgram();
    WaitForDelivery(base);
  }

  // Writes an input the way a POS may: in two parts with a pause between them, as `uid` (0: this user),
  // keeping the file open or closing it between the parts.
  void DropInTwoParts(const std::string& base, uid_t uid, bool closeBetween) {
    inputs.push_back(base);
    const std::string bytes = SampleInvoice(base);
    const std::size_t half = bytes.find("E-O-B") + 7;  // the items block and nothing more
    const std::string path = (installation.Input() / (base + ".csv")).string();
    if (uid != 0) fs::permissions(installation.Input(), fs::perms::all);
    const pid_t writer = ::fork();
    if (writer == 0) {
      if (uid != 0 && (::setgid(uid) != 0 || ::setuid(uid) != 0)) ::_exit(2);
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      bool ok = fd >= 0 && ::write(fd, bytes.data(), half) == static_cast<ssize_t>(half);
      if (closeBetween) ::close(fd);
      ::usleep(1500 * 1000);
      if (closeBetween) fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
      ok = ok && fd >= 0 && ::write(fd, bytes.data() + half, bytes.size() - half) ==
                                static_cast<ssize_t>(bytes.size() - half);
      ::close(fd);
      ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer failed";
  }

  // The POS's SDC_Out becomes a plain file: nothing can be written into it.
  void BreakOutput() {
    fs::rename(installation.Output(), installation.Output().string() + ".saved");
    std::ofstream(installation.Output()) << "not a folder";
  }
  void MendOutput() {
    fs::remove(installation.Output());
    fs::rename(installation.Output().string() + ".saved", installation.Output());
  }

  void ExpectNothingLostOrDoubled() {
    verified = true;
    std::uint32_t withResults = 0;
    for (const std::string& base : inputs) {
      const bool results = Delivered(base);
      const bool failed = fs::exists(installation.Output() / (base + "_err.txt")) &&
                          fs::exists(installation.Archive() / (base + ".csv"));
      const bool waiting = fs::exists(installation.Input() / (base + ".csv"));
      EXPECT_EQ(int(results) + int(failed && !results) + int(waiting && !results), 1)
          << base << ": results " << results << ", failed " << failed << ", waiting " << waiting;
      if (results) ++withResults;
    }
    EXPECT_EQ(sim->TotalCounter(), withResults) << "log:\n" << installation.Log();
  }

  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
  std::vector<std::string> inputs;
  bool verified = false;
};

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

TEST_P(FaultMatrix, NothingIsLostOrSignedTwice) { GetParam().run(*this); }

const FaultCase kCases[] = {
    {"CrashDuringASlowAnswer",
     [](FaultMatrix& t) {
       t.installation.AddConfiguration("SdcReadTimeout", "30");  // the crash comes before the time-out
       t.sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDelayed(20000));
       t.StartProgram();
       t.Drop("INV_NS_slow");
       ASSERT_TRUE(t.WaitFor([&] { return t.Signed(); }));
       t.Crash();
       t.StartProgram();
       t.WaitForDelivery("INV_NS_slow");
     }},
    {"CrashAfterTheAnswerArrived",
     [](FaultMatrix& t) {
       t.StartProgram();
       t.BreakOutput();  // the answer is stored, but cannot be delivered yet
       t.Drop("INV_NS_after");
       ASSERT_TRUE(t.WaitFor([&] { return t.installation.Log().find("čeka isporuku") != std::string::npos; }));
       t.Crash();
       t.MendOutput();
       t.StartProgram();
       t.WaitForDelivery("INV_NS_after");
     }},
    // The commit that stores the invoice also marks it sent: a crash before the request left is resolved by
    // asking the processor, which has nothing; once the request can no longer arrive, the waiting input is
    // fiscalised anew.
    {"CrashAfterTheInvoiceWasStoredBeforeTheRequestLeft",
     [](FaultMatrix& t) {
       t.installation.AddConfiguration("SdcRequestDeadline", "2");
       t.CrashAt("read:_req.json");
       t.StartProgram();
       t.Drop("INV_NS_unsent");
       t.RestartAfterTheCrash();
       EXPECT_FALSE(t.Signed());
       t.WaitForDelivery("INV_NS_unsent");
       EXPECT_FALSE(fs::exists(t.installation.Output() / "INV_NS_unsent_err.txt"));
     }},
    // The answer is kept durably only with the fiscal records: a crash in between asks the processor again.
    {"CrashWhenTheAnswerArrivedBeforeItWasStored",
     [](FaultMatrix& t) {
       t.CrashAt("create:_resp.json");
       t.StartProgram();
       t.Drop("INV_NS_unstored");
       t.RestartAfterTheCrash();
       EXPECT_TRUE(t.Signed());
       t.WaitForDelivery("INV_NS_unstored");
     }},
    // The invoice is closed in the commit after its result files: a crash in between writes them again, the
    // same, from the answer kept with the fiscal records.
    {"CrashAfterTheResultFilesBeforeTheInvoiceWasClosed",
     [](FaultMatrix& t) {
       t.CrashAt("rename:_basic.csv");
       t.StartProgram();
       t.Drop("INV_NS_unclosed");
       t.RestartAfterTheCrash();
       ASSERT_TRUE(t.Delivered("INV_NS_unclosed"));
       const std::string summary = ReadFileBytes(t.installation.Output() / "INV_NS_unclosed_basic.csv");
       ASSERT_TRUE(t.WaitFor([&] { return !fs::exists(t.installation.Input() / "INV_NS_unclosed.csv"); }))
           << t.installation.Log();
       EXPECT_EQ(ReadFileBytes(t.installation.Output() / "INV_NS_unclosed_basic.csv"), summary);
       EXPECT_FALSE(fs::exists(t.installation.Output() / "INV_NS_unclosed_err.txt"));
     }},
    {"AnswerSlowerThanTheReadTimeOut",
     [](FaultMatrix& t) { t.DeliveredDespite(pfrsim::Fault::SignedThenDelayed(5000), "INV_NS_late"); }},
    {"ConnectionDroppedMidAnswer",
     [](FaultMatrix& t) {
       t.sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
       t.StartProgram();
       t.Drop("INV_NS_cut");
       t.Drop("INV_NS_next");
       t.WaitForDelivery("INV_NS_cut");
       t.WaitForDelivery("INV_NS_next");
     }},
    {"OutputUnwritableThenWritable",
     [](FaultMatrix& t) {
       t.StartProgram();
       t.BreakOutput();
       t.Drop("INV_NS_out");
       ASSERT_TRUE(t.WaitFor([&] { return t.Signed(); }));
       std::this_thread::sleep_for(3s);  // a few ticks retry and fail
       t.MendOutput();
       t.WaitForDelivery("INV_NS_out");
     }},
    {"ProcessorCannotBeAskedDuringRecoveryThenCan",
     [](FaultMatrix& t) {
       t.sim->SetLookupAvailable(false);
       t.sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
       t.StartProgram();
       t.Drop("INV_NS_ask");
       ASSERT_TRUE(E2eInstallation::WaitForFile(t.installation.Output() / "INV_NS_ask_err.txt", 30s));
       t.Crash();
       t.StartProgram();  // the recovery at start-up cannot ask either: the input stays held
       std::this_thread::sleep_for(2s);
       EXPECT_TRUE(fs::exists(t.installation.Input() / "INV_NS_ask.csv"));
       t.sim->SetLookupAvailable(true);
       t.WaitForDelivery("INV_NS_ask");
     }},
    {"DatabaseServerStoppedAndStarted",
     [](FaultMatrix& t) {
       if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
       FirebirdServer server;
       server.Start();
       t.installation.UseDatabaseServer(server.Password());
       t.StartProgram();
       t.Drop("INV_NS_db1");
       t.WaitForDelivery("INV_NS_db1");
       server.Stop();
       t.Drop("INV_NS_db2");
       std::this_thread::sleep_for(3s);
       EXPECT_FALSE(t.Delivered("INV_NS_db2"));
       server.Start();
       t.WaitForDelivery("INV_NS_db2");
       t.installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
       t.installation.WaitForExit(30s);
     }},
    {"FullExchangeFileSystem",
     [](FaultMatrix& t) {
       const fs::path exchange = t.installation.Root() / "Exch";
       const fs::path saved = t.installation.Root() / "Exch.saved";
       fs::rename(exchange, saved);
       fs::create_directory(exchange);
       if (::mount("tmpfs", exchange.c_str(), "tmpfs", 0, "size=2m") != 0) {
         fs::remove(exchange);
         fs::rename(saved, exchange);
         GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
       }
       fs::copy(saved, exchange, fs::copy_options::recursive);
       t.sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDelayed(3000));
       t.StartProgram();
       t.Drop("INV_NS_full");
       ASSERT_TRUE(t.WaitFor([&] { return t.Signed(); }));
       const fs::path filler = exchange / "filler";
       {
         std::ofstream out(filler, std::ios::binary);
         const std::string block(64 * 1024, 'x');
         while (out.write(block.data(), block.size())) {
         }
       }
       std::this_thread::sleep_for(6s);  // the answer arrives on a full disk and cannot be kept yet
       fs::remove(filler);
       t.WaitForDelivery("INV_NS_full");
       t.installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
       t.installation.WaitForExit(30s);
       t.ExpectNothingLostOrDoubled();  // before the small file system goes
       ::umount2(exchange.c_str(), MNT_DETACH);
     }},
    {"TwoProgramsWithTheirOwnLockFolders",
     [](FaultMatrix& t) {
       t.StartProgram();
       // Another user's program (its own runtime folder) on the same installation leaves at once, silently.
       const TempDir otherLocks;
       EXPECT_EQ(t.installation.RunAnother({E2eInstallation::kSoftKey, kPin, kUid}, 20s, otherLocks.Path()), 0);
       EXPECT_EQ(ReadFileBytes(t.installation.Root() / "stderr-second.txt"), "");
       EXPECT_FALSE(fs::exists(t.installation.Output() / "start_info.txt"));  // the first one's notice stands
       t.Drop("INV_NS_two1");
       t.Drop("INV_NS_two2");
       t.WaitForDelivery("INV_NS_two1");
       t.WaitForDelivery("INV_NS_two2");
     }},
    {"UnknownOutcomeThenANewWorkingCertificate",
     [](FaultMatrix& t) {
       pfrsim::SimOptions options;
       options.uid = "ZXCVBNM1";
       pfrsim::PfrSimulator other(options);
       other.Start();
       t.installation.AddCertificate({options.uid, other.BaseUrl()});
       t.HoldOneInvoice(pfrsim::Fault::SignedThenDropped(), "INV_NS_cert");
       t.Stop();
       // The shop works with the other processor now; the open invoice is resolved where it was sent.
       t.sim->SetLookupAvailable(true);
       t.installation.Start({E2eInstallation::kSoftKey, kPin, options.uid});
       ASSERT_EQ(t.installation.WaitForStartInfo().substr(0, 3), "OK,") << t.installation.StderrText();
       t.WaitForDelivery("INV_NS_cert");
       EXPECT_EQ(other.TotalCounter(), 0u);
     }},
    {"PosWritesAsAnotherUserWithAPause",
     [](FaultMatrix& t) {
       t.StartProgram();
       t.DropInTwoParts("INV_NS_user", 65534, false);
       t.WaitForDelivery("INV_NS_user");
       EXPECT_FALSE(fs::exists(t.installation.Output() / "INV_NS_user_err.txt"));
     }},
    {"PosClosesTheFileBetweenTwoWrites",
     [](FaultMatrix& t) {
       t.StartProgram();
       t.DropInTwoParts("INV_NS_twice", 0, true);
       t.WaitForDelivery("INV_NS_twice");
       EXPECT_FALSE(fs::exists(t.installation.Output() / "INV_NS_twice_err.txt"));
     }},
    {"SigtermDuringASlowAnswer",
     [](FaultMatrix& t) {
       t.EndDuringASlowAnswer("INV_NS_term", [&] {
         t.installation.Signal(SIGTERM);
         EXPECT_EQ(t.installation.WaitForExit(30s), 0);
       });
     }},
    {"StopCommandDuringASlowAnswer",
     [](FaultMatrix& t) { t.EndDuringASlowAnswer("INV_NS_stop", [&] { t.Stop(); }); }},
    {"GatewayAnswers502AfterTheProcessorSigned",
     [](FaultMatrix& t) {
       t.DeliveredDespite(pfrsim::Fault::SignedThenError(502, "<html>Bad Gateway</html>"), "INV_NS_gate");
     }},
    {"RequestHeldOnItsWayLongerThanTheReadTimeOut",
     [](FaultMatrix& t) {
       // Signed 6 s after it left; the program gave up after 2 s and the first lookups find nothing.
       t.DeliveredDespite(pfrsim::Fault::Delayed(6000), "INV_NS_held");
     }},
    {"HeldInputReplacedByAnotherInvoice",
     [](FaultMatrix& t) {
       t.HoldOneInvoice(pfrsim::Fault::SignedThenDropped(), "INV_NS_same");
       const std::string second = SampleInvoice("Čaj");
       t.installation.Drop("INV_NS_same.csv", second);
       t.sim->SetLookupAvailable(true);
       t.WaitForDelivery("INV_NS_same");
       // The second file is a new invoice under a used name: refused with a clear error, never deleted unsent.
       ASSERT_TRUE(t.WaitFor([&] { return fs::exists(t.installation.Archive() / "INV_NS_same.csv"); }));
       EXPECT_EQ(ReadFileBytes(t.installation.Archive() / "INV_NS_same.csv"), second);
       // The input is archived a moment before its error file is written: wait for the error, not only the move.
       t.WaitFor([&] { return t.ErrorText("INV_NS_same").find("Račun je već fiskalizovan!") != std::string::npos; });
       EXPECT_NE(t.ErrorText("INV_NS_same").find("Račun je već fiskalizovan!"), std::string::npos);
     }},
    {"HeldInputTakenAwayAndNotSigned",
     [](FaultMatrix& t) {
       t.installation.AddConfiguration("SdcRequestDeadline", "2");  // "not found" counts 12 s after the request
       t.HoldOneInvoice(pfrsim::Fault::Dropped(), "INV_NS_gone", false);  // taken away: not counted at the end
       fs::remove(t.installation.Input() / "INV_NS_gone.csv");
       t.sim->SetLookupAvailable(true);
       // Once the request can no longer arrive (12 s here), the POS gets the plain error as the last word.
       ASSERT_TRUE(t.WaitFor([&] { return !t.ErrorText("INV_NS_gone").empty() && !t.Held("INV_NS_gone"); }, 90s))
           << t.installation.Log();
       EXPECT_NE(t.ErrorText("INV_NS_gone").find("Empty reply"), std::string::npos) << t.ErrorText("INV_NS_gone");
       EXPECT_EQ(t.sim->TotalCounter(), 0u);
     }},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramSecrets, TheSecretsAreNotLeftOnTheCommandLine) {
  pfrsim::SimOptions options;
  options.uid = kUid;
  pfrsim::PfrSimulator sim(options);
  sim.Start();
  E2eInstallation installation;
  installation.AddCertificate({kUid, sim.BaseUrl()});
  installation.Start({E2eInstallation::kSoftKey, kPin, kUid});
  ASSERT_EQ(installation.WaitForStartInfo().substr(0, 3), "OK,");
  const std::string commandLine = ReadFileBytes("/proc/" + std::to_string(installation.Pid()) + "/cmdline");
  EXPECT_EQ(commandLine.find(E2eInstallation::kSoftKey), std::string::npos);
  EXPECT_EQ(commandLine.find(kPin), std::string::npos);
  installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
  EXPECT_EQ(installation.WaitForExit(20s), 0);
}

}  // namespace
}  // namespace telvano::testing
