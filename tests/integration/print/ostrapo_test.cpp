#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "support/escpos_qr_decoder.h"
#include "invoice/print_script.h"
#include "program_run.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

const std::string kOstrapo = OSTRAPO_PATH;

// The Ostrapo program against a temporary installation.
class OstrapoProgram : public ::testing::Test {
 protected:
  OstrapoProgram() {
    fs::create_directories(m_root.Path() / "print");
    fs::create_directories(m_root.Path() / "logs");
  }

  ProgramResult Run(const std::string& script, const std::string& port) {
    return RunProgram(kOstrapo, {"--log-dir", m_root / "logs", "--file-dir", m_root / "print", "--pause-scale", "0",
                                 "--connect-timeout", "2000", "--", script, port});
  }

  std::string WriteScript(const std::string& text) {
    const std::string path = m_root / "script";
    WriteFileBytes(path, text);
    return path;
  }

  std::string ReceiptScript() {
    invoice::PrintScriptInput input;
    input.model = invoice::PrinterModel::Epson;
    input.port = "file:ignored";
    for (int line = 1; line <= 60; ++line) input.journal += "Ред " + std::to_string(line) + "\r\n";
    input.verificationUrl = "https://suf.purs.gov.rs/v/?vl=" + std::string(300, 'Q');
    input.changeAmount = db::Decimal{25, 0};
    input.signatureLine = true;
    return WriteScript(invoice::BuildPrintScript(input));
  }

  TempDir m_root;
};

void ExpectEpsonReceipt(const std::string& bytes) {
  ASSERT_GE(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 11), "\x1B@\x1Bt\x2E\x1BR\x0E\x1B\x61\x01");
  EXPECT_EQ(bytes.substr(bytes.size() - 8), "\r\n\x1DVA\x01\x1B@");
  EXPECT_NE(bytes.find("\xD0\xE5\xE4 60\r\n"), std::string::npos);  // "Ред 60" in code page 1251
  std::size_t at = bytes.find("\x1D(k");
  ASSERT_NE(at, std::string::npos);
  const auto functions = DecodeQrFunctions(bytes, at);
  ASSERT_EQ(functions.size(), 6u);
  EXPECT_EQ(functions[3].parameters, "0https://suf.purs.gov.rs/v/?vl=" + std::string(300, 'Q'));
  EXPECT_EQ(bytes.substr(at, 2), "\r\n");
}

TEST_F(OstrapoProgram, WholeJobReachesTcpListenerAndFileAlike) {
  const std::string script = ReceiptScript();
  OneShotListener listener;
  std::string received;
  std::thread reader([&] { received = listener.Receive(); });
  const ProgramResult tcp = Run(script, "tcp://127.0.0.1:" + std::to_string(listener.Port()));
  reader.join();
  EXPECT_EQ(tcp.exitCode, 0) << tcp.standardError;
  ExpectEpsonReceipt(received);

  const ProgramResult file = Run(script, "file:receipt.bin");
  EXPECT_EQ(file.exitCode, 0) << file.standardError;
  EXPECT_EQ(ReadFileBytes(m_root.Path() / "print" / "receipt.bin"), received);

  const std::string log = ReadFileBytes(m_root.Path() / "logs" / "Ostrapo_log.txt");
  EXPECT_NE(log.find("\t" + std::to_string(received.size()) + "\tOK\r\n"), std::string::npos) << log;
}

TEST_F(OstrapoProgram, RefusedScriptNeverConnects) {
  OneShotListener listener;
  const std::string port = "tcp://127.0.0.1:" + std::to_string(listener.Port());
  for (const char* script : {"ESC @\n\"a\" CR LF\nGS ! 300\n", "ESC @\nBOGUS\n", "GS ( k 9 0 49 80 48 \"ab\"\n"}) {
    const ProgramResult run = Run(WriteScript(script), port);
    EXPECT_EQ(run.exitCode, 4) << script;
    EXPECT_EQ(run.standardError.rfind("Ostrapo: script refused: line ", 0), 0u) << run.standardError;
    EXPECT_FALSE(listener.ConnectionPending()) << script;
  }
}

TEST_F(OstrapoProgram, UnreachablePrinter) {
  int closedPort = 0;
  {
    OneShotListener listener;
    closedPort = listener.Port();
  }
  const ProgramResult run = Run(WriteScript("ESC @\n"), "tcp://127.0.0.1:" + std::to_string(closedPort));
  EXPECT_EQ(run.exitCode, 6);
  EXPECT_NE(run.standardError.find("connect 127.0.0.1"), std::string::npos) << run.standardError;
}

TEST_F(OstrapoProgram, PausesAreKeptWithoutScale) {
  const std::string script = WriteScript("ESC @\n*300\nLF\n");
  const auto start = std::chrono::steady_clock::now();
  const ProgramResult run = RunProgram(kOstrapo, {"--log-dir", "", "--file-dir", m_root / "print", script, "file:p.bin"});
  EXPECT_EQ(run.exitCode, 0) << run.standardError;
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(ReadFileBytes(m_root.Path() / "print" / "p.bin"), "\x1B@\n");
}

}  // namespace
}  // namespace telvano::testing
