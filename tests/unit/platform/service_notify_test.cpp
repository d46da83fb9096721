#include "platform/journal_stream.h"
#include "platform/service_notify.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "support/notify_socket.h"
#include "support/temp_dir.h"

namespace telvano::platform {
namespace {

using namespace std::chrono_literals;

TEST(ServiceNotifier, SendsToNotifySocketOnlyAndNeverTheSameStatusTwice) {
  ::unsetenv("NOTIFY_SOCKET");
  EXPECT_FALSE(ServiceNotifier().Enabled());  // a program the POS started: nothing is sent, nothing fails

  testing::NotifySocket socket;
  ::setenv("NOTIFY_SOCKET", socket.Path().c_str(), 1);
  ::setenv("WATCHDOG_USEC", "2000000", 1);
  ::setenv("WATCHDOG_PID", "1", 1);  // meant for another process
  EXPECT_EQ(ServiceNotifier().WatchdogInterval(), 0s);
  ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
  ServiceNotifier notifier;
  EXPECT_EQ(notifier.WatchdogInterval(), 2s);
  notifier.Ready("PFR01 LPFR DEV\nsecond line");
  notifier.Status("PFR01 LPFR DEV");
  notifier.Status("held 1");
  notifier.Watchdog();
  notifier.SetWatchdogInterval(0s);  // nonsense: nothing
  notifier.SetWatchdogInterval(570s);
  notifier.Stopping();
  for (const char* expected : {"READY=1\nSTATUS=PFR01 LPFR DEV", "STATUS=held 1", "WATCHDOG=1",
                               "WATCHDOG_USEC=570000000", "STOPPING=1"}) {
    EXPECT_EQ(socket.Next(1s).value_or("(none)"), expected);
  }
  EXPECT_FALSE(socket.Next(0ms)) << socket.Seen();
  ::unsetenv("NOTIFY_SOCKET");
  ::unsetenv("WATCHDOG_USEC");
  ::unsetenv("WATCHDOG_PID");
}

TEST(JournalStream, StderrIsTheJournalOnlyWhenJournalStreamNamesItsDeviceAndInode) {
  testing::TempDir folder;
  const std::string path = folder / "stderr.txt";
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ::dup2(file, STDERR_FILENO);
  struct stat info {};
  ::fstat(file, &info);
  ::close(file);
  const std::string own = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  std::vector<std::pair<std::string, bool>> seen;
  for (const std::string value : {own, std::string("1:2"), std::string()}) {
    ::setenv("JOURNAL_STREAM", value.c_str(), 1);
    seen.emplace_back(value, StderrIsJournal());
  }
  ::unsetenv("JOURNAL_STREAM");
  WriteJournalLines(Priority::Error, "first\r\nsecond\n");
  WriteJournalLines(Priority::Information, "");
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{{own, true}, {"1:2", false}, {"", false}}));
  EXPECT_EQ(testing::ReadFileBytes(path), "<3>first\n<3>second\n<6>\n");
}

}  // namespace
}  // namespace telvano::platform
