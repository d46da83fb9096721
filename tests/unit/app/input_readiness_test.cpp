// When the POS's file may be taken: the folder's events, the quiet second, the end blocks of a young
// invoice. The lease is taken as unavailable here, as it is for a POS that writes as another user.
#include "app/input_readiness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "support/temp_dir.h"

namespace telvano::app {
namespace {

using namespace std::chrono_literals;

const std::string kWhole = "BLOCK_ITEMS\r\n,Kafa,10,1,kom,10,A\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,10\r\nE-O-B\r\n"
                           "BLOCK_OTHERS\r\nE-O-B\r\n";

class InputReadinessTest : public ::testing::Test {
 protected:
  InputReadinessTest() : m_readiness(m_folder.Path().string(), m_clock, [](const std::string&) { return false; }) {}

  std::string PathOf(const std::string& name) const { return (m_folder.Path() / name).string(); }
  bool Busy(const std::string& name) { return m_readiness.StillBeingWritten(PathOf(name)); }

  // Writes through one descriptor, left open for the caller to close (-1 when it closed it).
  int Write(const std::string& name, const std::string& bytes, bool close) {
    const int fd = ::open(PathOf(name).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (!close) return fd;
    ::close(fd);
    return -1;
  }

  telvano::testing::TempDir m_folder;
  platform::ManualClock m_clock;
  InputReadiness m_readiness;
};

TEST_F(InputReadinessTest, AFileIsReadyOnceItsWriterClosedIt) {
  const int fd = Write("INV_NS_1.csv", kWhole, false);
  EXPECT_TRUE(Busy("INV_NS_1.csv"));
  m_clock.Advance(5s);  // a writer that pauses is still at work while it holds the file
  EXPECT_TRUE(Busy("INV_NS_1.csv"));
  ::close(fd);
  EXPECT_FALSE(Busy("INV_NS_1.csv"));
}

TEST_F(InputReadinessTest, AYoungInvoiceWithoutItsEndBlocksWaitsThenIsAnswered) {
  Write("INV_NS_2.csv", "BLOCK_ITEMS\r\n,Kafa,10,1,kom,10,A\r\nE-O-B\r\n", true);
  EXPECT_TRUE(Busy("INV_NS_2.csv"));
  m_clock.Advance(2s);
  EXPECT_TRUE(Busy("INV_NS_2.csv"));
  m_clock.Advance(2s);
  EXPECT_FALSE(Busy("INV_NS_2.csv"));  // given up on its writer: the handler answers what it holds
  // A command file has no blocks to wait for.
  Write("CMD_1.csv", "HELLO-TELVANO,1\r\n", true);
  EXPECT_FALSE(Busy("CMD_1.csv"));
}

TEST_F(InputReadinessTest, AFileSeenWithoutEventsMustStayUnchangedForASecond) {
  Write("INV_NS_3.csv", kWhole, true);
  // A later reader starts after the file was written: it knows only what it sees.
  InputReadiness later(m_folder.Path().string(), m_clock, {});
  EXPECT_TRUE(later.StillBeingWritten(PathOf("INV_NS_3.csv")));
  m_clock.Advance(600ms);
  EXPECT_TRUE(later.StillBeingWritten(PathOf("INV_NS_3.csv")));
  m_clock.Advance(600ms);
  EXPECT_FALSE(later.StillBeingWritten(PathOf("INV_NS_3.csv")));
}

TEST(InputReadinessAtStart, AFileThatWaitedBeforeTheStartIsTakenAtOnce) {
  telvano::testing::TempDir folder;
  const std::string path = (folder.Path() / "INV_NS_5.csv").string();
  telvano::testing::WriteFileBytes(path, kWhole);
  platform::SystemClock clock;  // the file's time and the clock must be comparable here
  const struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_FALSE(InputReadiness(folder.Path().string(), clock, {}).StillBeingWritten(path));
}

TEST_F(InputReadinessTest, TheLeaseStillCountsWhereItWorks) {
  InputReadiness leased(m_folder.Path().string(), m_clock, [](const std::string&) { return true; });
  Write("INV_NS_4.csv", kWhole, true);
  EXPECT_TRUE(leased.StillBeingWritten(PathOf("INV_NS_4.csv")));
}

TEST(LacksEndBlocks, CountsTheEndLinesWithoutRegardToCaseAndBlanks) {
  EXPECT_FALSE(LacksEndBlocks(kWhole));
  EXPECT_FALSE(LacksEndBlocks("e-o-b\n  E-O-B \r\nE-o-B"));
  EXPECT_TRUE(LacksEndBlocks("BLOCK_ITEMS\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nE-O-B\r\n"));
  EXPECT_TRUE(LacksEndBlocks("E-O-B E-O-B E-O-B"));  // one line
  EXPECT_TRUE(LacksEndBlocks(""));
}

}  // namespace
}  // namespace telvano::app
