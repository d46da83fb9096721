#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "raw_print_sender.h"
#include "support/temp_dir.h"

namespace telvano::rawprint {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// A sender run in this process against a temporary installation: a print-file folder and a log folder.
class SenderTest : public ::testing::Test {
 protected:
  SenderTest() {
    fs::create_directories(m_root.Path() / "print");
    fs::create_directories(m_root.Path() / "logs");
  }

  int Run(std::vector<std::string> tail, bool withFileDir = true) {
    std::vector<std::string> arguments = {"--log-dir", LogDir(), "--pause-scale", "0"};
    if (withFileDir) arguments.insert(arguments.end(), {"--file-dir", PrintDir()});
    arguments.insert(arguments.end(), tail.begin(), tail.end());
    m_err.str("");
    return RunOstrapo(arguments, m_err);
  }

  std::string Script(const std::string& text) {
    const std::string path = m_root / "script";
    WriteFileBytes(path, text);
    return path;
  }

  std::string PrintDir() const { return m_root / "print"; }
  std::string LogDir() const { return m_root / "logs"; }
  std::string Log() const {
    const fs::path path = fs::path(LogDir()) / "Ostrapo_log.txt";
    return fs::exists(path) ? ReadFileBytes(path) : "";
  }
  std::size_t FilesInPrintDir() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(PrintDir()), fs::directory_iterator()));
  }

  TempDir m_root;
  std::ostringstream m_err;
};

TEST_F(SenderTest, FilePortReceivesTheWholeJob) {
  const std::string script = Script("'EPSON,file:ignored.bin\r\nESC @\r\n*1000\r\n\"\xC0\xC1\" CR LF\r\nGS V A 1\r\n");
  EXPECT_EQ(Run({"--", script, "file:receipt.bin"}), kExitOk) << m_err.str();
  EXPECT_EQ(ReadFileBytes(fs::path(PrintDir()) / "receipt.bin"), "\x1B@\xC0\xC1\r\n\x1DVA\x01");
  EXPECT_EQ(FilesInPrintDir(), 1u) << "the PORT argument wins over the first line; no temporary file stays";
  EXPECT_NE(Log().find("\tfile:receipt.bin\t10\tOK\r\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find(script), std::string::npos);
}

TEST_F(SenderTest, FirstLinePortWhenNoneIsGiven) {
  EXPECT_EQ(Run({Script("'EPSON,file:from-script.bin\nESC @\n")}), kExitOk) << m_err.str();
  EXPECT_EQ(ReadFileBytes(fs::path(PrintDir()) / "from-script.bin"), "\x1B@");
  EXPECT_EQ(Run({Script("'EPSON,file:again.bin\nLF\n"), ""}), kExitOk) << "an empty PORT argument counts as none";
  EXPECT_TRUE(fs::exists(fs::path(PrintDir()) / "again.bin"));
}

TEST_F(SenderTest, RefusedScriptSendsNothing) {
  const std::string script = Script("ESC @\n\"Hello\" CR LF\nGS ( k 4 0 49 67 4\nGS V A 1\n");
  EXPECT_EQ(Run({script, "file:receipt.bin"}), kExitScriptRefused);
  EXPECT_NE(m_err.str().find("line 3"), std::string::npos) << m_err.str();
  EXPECT_EQ(m_err.str().find('\n'), m_err.str().size() - 1) << "one line";
  EXPECT_EQ(FilesInPrintDir(), 0u);
  EXPECT_NE(Log().find("\t0\texit 4: script refused: line 3"), std::string::npos) << Log();
}

TEST_F(SenderTest, PortsLeavingTheFolderAreRefusedWithAReason) {
  const std::string script = Script("ESC @\n");
  EXPECT_EQ(Run({script, "file:../x"}), kExitPortRefused);
  EXPECT_NE(m_err.str().find("leaves the print-file folder"), std::string::npos) << m_err.str();
  EXPECT_FALSE(fs::exists(m_root.Path() / "x"));
  EXPECT_EQ(Run({script, "/etc/passwd"}), kExitPortRefused);
  EXPECT_NE(m_err.str().find("below /dev"), std::string::npos) << m_err.str();
  EXPECT_EQ(Run({script, "/dev/../etc/passwd"}), kExitPortRefused);
  EXPECT_NE(m_err.str().find("does not lie below /dev"), std::string::npos) << m_err.str();
  for (const char* folder : {"/dev/shm", "/dev/pts", "/dev/mqueue"}) {
    std::error_code ignored;
    if (!fs::is_directory(folder, ignored) || fs::is_symlink(folder, ignored)) continue;
    EXPECT_EQ(Run({script, folder}), kExitPortRefused);
    EXPECT_NE(m_err.str().find("not a character device"), std::string::npos) << m_err.str();
    break;
  }
  EXPECT_EQ(Run({script, "/dev/no-such-printer"}), kExitPortRefused);
  EXPECT_EQ(FilesInPrintDir(), 0u);
}

TEST_F(SenderTest, FilePortsNeedAConfiguredFolder) {
  EXPECT_EQ(Run({"--file-dir", "", Script("ESC @\n"), "file:receipt.bin"}, false), kExitPortRefused);
  EXPECT_NE(m_err.str().find("no print-file folder"), std::string::npos) << m_err.str();
}

TEST_F(SenderTest, FileSymlinkIsReplacedNotFollowed) {
  const fs::path outside = m_root.Path() / "outside.txt";
  WriteFileBytes(outside, "keep");
  fs::create_symlink(outside, fs::path(PrintDir()) / "receipt.bin");
  EXPECT_EQ(Run({Script("ESC @\n"), "file:receipt.bin"}), kExitOk) << m_err.str();
  EXPECT_EQ(ReadFileBytes(outside), "keep");
  EXPECT_FALSE(fs::is_symlink(fs::path(PrintDir()) / "receipt.bin"));
}

TEST_F(SenderTest, CharacterDevice) {
  EXPECT_EQ(Run({Script("ESC @\n\"x\"\n"), "/dev/null"}), kExitOk) << m_err.str();
  EXPECT_EQ(Run({Script("ESC @\n"), "/dev/null:9600"}), kExitPortRefused) << "no serial line";
  EXPECT_NE(m_err.str().find("no serial line"), std::string::npos) << m_err.str();
}

TEST_F(SenderTest, PortTextNeverPassesForAnOption) {
  EXPECT_EQ(Run({"--", Script("ESC @\n"), "--file-dir"}), kExitPortRefused) << m_err.str();
}

TEST_F(SenderTest, UsageAndUnreadableScript) {
  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(Run({"a", "b", "c"}), kExitUsage);
  EXPECT_EQ(Run({"--bogus", "1", "a"}), kExitUsage);
  EXPECT_EQ(Run({"--pause-scale", "x", "a"}), kExitUsage);
  EXPECT_EQ(Run({m_root / "missing", "file:r.bin"}), kExitScriptUnreadable);
  EXPECT_EQ(Run({PrintDir(), "file:r.bin"}), kExitScriptUnreadable) << "a folder is no script";
  EXPECT_EQ(Run({Script("ESC @\n")}), kExitPortRefused) << "no port at all";
}

TEST_F(SenderTest, FoldersFromTheInstallationConfiguration) {
  const fs::path root = m_root.Path() / "appl";
  fs::create_directories(root / "Logs");
  const std::string registry = m_root / "TELVANO.conf";
  WriteFileBytes(registry, "# installation\nAppl_Root = " + root.string() + "\nPrintFileDir=" + PrintDir() + "\n");
  setenv("TELVANO_REGISTRY", registry.c_str(), 1);
  std::ostringstream err;
  const int code = RunOstrapo({"--pause-scale", "0", Script("ESC @\n"), "file:conf.bin"}, err);
  unsetenv("TELVANO_REGISTRY");
  EXPECT_EQ(code, kExitOk) << err.str();
  EXPECT_TRUE(fs::exists(fs::path(PrintDir()) / "conf.bin"));
  EXPECT_NE(ReadFileBytes(root / "Logs" / "Ostrapo_log.txt").find("\tOK\r\n"), std::string::npos);
}

}  // namespace
}  // namespace telvano::rawprint
