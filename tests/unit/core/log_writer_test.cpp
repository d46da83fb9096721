#include <gtest/gtest.h>

#include <filesystem>

#include "core/log_writer.h"
#include "support/temp_dir.h"

namespace telvano::core {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

class LogWriterTest : public ::testing::Test {
 protected:
  LogWriterTest() {
    m_configuration.LogsDir = m_dir.Path().string();
    m_configuration.CodePage = "UTF-8";
  }
  std::string LogBytes() const { return ReadFileBytes(m_dir / "TELVANO_log.txt"); }

  TempDir m_dir;
  Configuration m_configuration;
  platform::ManualClock m_clock{{2024, 3, 1, 8, 15, 2, 0, 60}};
  LogWriter m_log{m_configuration, m_clock};
};

TEST_F(LogWriterTest, LinesAreTimestampBlankFirstLineWithCrLf) {
  m_log.AppendLogLine("TELVANO_log.txt", "READY TO USE\n\nREADY TO USE");
  m_clock.Advance(std::chrono::seconds(61));
  m_log.AppendLogLine("TELVANO_log.txt", "");
  m_log.AppendLogLine("TELVANO_log.txt", "2100: Pin Not OK / PIN nije u redu\r\nsecond line");
  EXPECT_EQ(LogBytes(),
            "2024-03-01 08:15:02 READY TO USE\r\n"
            "2024-03-01 08:16:03 \r\n"
            "2024-03-01 08:16:03 2100: Pin Not OK / PIN nije u redu\r\n");
}

TEST_F(LogWriterTest, AppendsToWhatIsThereAndNeverRewritesIt) {
  WriteFileBytes(m_dir / "TELVANO_log.txt", "old line one\r\nold line two without end");
  m_log.AppendLogLine("TELVANO_log.txt", "new");
  EXPECT_EQ(LogBytes(), "old line one\r\nold line two without end\r\n2024-03-01 08:15:02 new\r\n");
}

TEST_F(LogWriterTest, WrittenInTheConfiguredCodePage) {
  m_configuration.CodePage = "windows-1250";
  m_log.AppendLogLine("TELVANO_log.txt", "čaša ПФР");
  EXPECT_EQ(LogBytes(),
            "2024-03-01 08:15:02 \xE8"
            "a\x9A"
            "a ???\r\n");
}

TEST_F(LogWriterTest, AFailedWriteIsReportedNotSwallowed) {
  m_configuration.LogsDir = (m_dir / "missing-folder");
  EXPECT_THROW(m_log.AppendLogLine("TELVANO_log.txt", "x"), LogWriteError);
}

}  // namespace
}  // namespace telvano::core
