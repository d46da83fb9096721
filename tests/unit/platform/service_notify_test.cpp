#include "platform/journal_stream.h"
#include "platform/service_notify.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "support/notify_socket.h"
#include "support/temp_dir.h"

namespace telvano::platform {
namespace {

using namespace std::chrono_literals;

// Sets an environment variable for one test and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (m_old) {
      ::setenv(m_name, m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

struct NoticeCase {
  const char* name;
  std::function<void(ServiceNotifier&)> calls;
  std::vector<std::string> notices;  // in the order sent
};

void PrintTo(const NoticeCase& notice, std::ostream* out) { *out << notice.name; }

class ServiceNotices : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(ServiceNotices, ReachTheSocketThatNotifySocketNames) {
  testing::NotifySocket socket;
  ScopedVariable notify("NOTIFY_SOCKET", socket.Path().c_str());
  ServiceNotifier notifier;
  ASSERT_TRUE(notifier.Enabled());
  GetParam().calls(notifier);
  for (const std::string& expected : GetParam().notices) EXPECT_EQ(socket.Next(1s).value_or("(none)"), expected);
  EXPECT_FALSE(socket.Next(0ms)) << "more than expected: " << socket.Seen();
}

INSTANTIATE_TEST_SUITE_P(
    Notices, ServiceNotices,
    ::testing::Values(
        NoticeCase{"ReadyCarriesTheFirstStatusLine",
                   [](ServiceNotifier& n) { n.Ready("PFR01 LPFR DEV; 0 open\nsecond line"); },
                   {"READY=1\nSTATUS=PFR01 LPFR DEV; 0 open"}},
        NoticeCase{"AnUnchangedStatusIsNotSentAgain",
                   [](ServiceNotifier& n) {
                     n.Ready("a");
                     n.Status("a");
                     n.Status("b");
                     n.Status("b");
                     n.Status("a");
                   },
                   {"READY=1\nSTATUS=a", "STATUS=b", "STATUS=a"}},
        NoticeCase{"WatchdogAndStopping",
                   [](ServiceNotifier& n) {
                     n.Watchdog();
                     n.Watchdog();
                     n.Stopping();
                   },
                   {"WATCHDOG=1", "WATCHDOG=1", "STOPPING=1"}},
        NoticeCase{"ALongerWatchdogIntervalIsAnnounced",
                   [](ServiceNotifier& n) {
                     n.SetWatchdogInterval(std::chrono::microseconds(0));  // nonsense: nothing
                     n.SetWatchdogInterval(570s);
                     EXPECT_EQ(n.WatchdogInterval(), 570s);
                   },
                   {"WATCHDOG_USEC=570000000"}}),
    [](const ::testing::TestParamInfo<NoticeCase>& info) { return std::string(info.param.name); });

TEST(ServiceNotifier, WithoutNotifySocketNothingIsSentAndTheWatchdogIntervalComesFromTheEnvironment) {
  {
    ScopedVariable notify("NOTIFY_SOCKET", nullptr);
    ServiceNotifier notifier;
    EXPECT_FALSE(notifier.Enabled());
    notifier.Ready("x");  // nowhere to go, and no failure either
  }
  testing::NotifySocket socket;
  ScopedVariable notify("NOTIFY_SOCKET", socket.Path().c_str());
  ScopedVariable interval("WATCHDOG_USEC", "2000000");
  ScopedVariable pid("WATCHDOG_PID", std::to_string(::getpid()).c_str());
  EXPECT_EQ(ServiceNotifier().WatchdogInterval(), 2s);
  ScopedVariable otherPid("WATCHDOG_PID", "1");  // meant for another process
  EXPECT_EQ(ServiceNotifier().WatchdogInterval(), 0s);
}

// stderr is pointed at a file for the test, as systemd points it at its journal stream.
class StderrToFile {
 public:
  explicit StderrToFile(const std::string& path) : m_saved(::dup(STDERR_FILENO)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~StderrToFile() {
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
  }

 private:
  int m_saved;
};

TEST(JournalStream, StderrIsTheJournalOnlyWhenJournalStreamNamesItsDeviceAndInode) {
  testing::TempDir folder;
  const std::string path = folder / "stderr.txt";
  StderrToFile redirect(path);
  struct stat info {};
  ASSERT_EQ(::fstat(STDERR_FILENO, &info), 0);
  const std::string own = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  for (const auto& [value, expected] : std::vector<std::pair<const char*, bool>>{
           {own.c_str(), true}, {nullptr, false}, {"1:2", false}, {"", false}}) {
    ScopedVariable stream("JOURNAL_STREAM", value);
    EXPECT_EQ(StderrIsJournal(), expected) << (value ? value : "(unset)");
  }
  WriteJournalLines(Priority::Error, "first\r\nsecond\n");
  WriteJournalLines(Priority::Information, "");
  std::fflush(stderr);
  EXPECT_EQ(testing::ReadFileBytes(path), "<3>first\n<3>second\n<6>\n");
  EXPECT_EQ(JournalLine(Priority::Warning, "x"), "<4>x");
}

}  // namespace
}  // namespace telvano::platform
