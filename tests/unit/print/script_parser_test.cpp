#include <gtest/gtest.h>

#include <string>

#include "script_parser.h"

namespace telvano::rawprint {
namespace {

std::string Bytes(std::string_view script) { return ParseScript(script).AllBytes(); }

int ErrorLine(std::string_view script) {
  try {
    ParseScript(script);
  } catch (const ScriptError& error) {
    return error.Line();
  }
  return 0;
}

TEST(ScriptNotation, ControlNamesGiveTheirBytes) {
  EXPECT_EQ(Bytes("NUL SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI"),
            std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 16));
  EXPECT_EQ(Bytes("DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM SUB ESC FS GS RS US SP DEL"),
            "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x20\x7F");
}

TEST(ScriptNotation, NumbersCharactersAndText) {
  EXPECT_EQ(Bytes("0 9 46 255 007"), std::string("\x00\x09\x2E\xFF\x07", 5));
  EXPECT_EQ(Bytes("@ t a ( k ! V A *"), "@ta(k!VA*");
  EXPECT_EQ(Bytes("ESC @\r\nESC t 46\r\n"), "\x1B@\x1Bt\x2E");
  EXPECT_EQ(Bytes("\"Ћао \xC0\" CR LF"), "Ћао \xC0\r\n");
  // A text runs from the line's first to its last double quote, so quotes inside it stay.
  EXPECT_EQ(Bytes("\"Firma \"ABC\" doo\" CR LF"), "Firma \"ABC\" doo\r\n");
  EXPECT_EQ(Bytes("\"\""), "");
  EXPECT_EQ(Bytes("\t GS  V\tA 1  "), "\x1DVA\x01");
}

TEST(ScriptNotation, FirstLineNamesModelAndPort) {
  const PrintJob job = ParseScript("'EPSON,tcp://10.0.0.5:9100\r\nESC @\r\n");
  EXPECT_EQ(job.model, "EPSON");
  EXPECT_EQ(job.port, "tcp://10.0.0.5:9100");
  EXPECT_EQ(job.AllBytes(), "\x1B@");
  const PrintJob noPort = ParseScript("'STAR-2\nESC @");
  EXPECT_EQ(noPort.model, "STAR-2");
  EXPECT_EQ(noPort.port, "");
  // Only the first line may name them.
  EXPECT_EQ(ErrorLine("ESC @\n'EPSON,x"), 2);
}

TEST(ScriptNotation, PausesSplitTheJob) {
  const PrintJob job = ParseScript("ESC @\n*1000\n\"a\"\n*250 *250\nLF");
  ASSERT_EQ(job.steps.size(), 4u);
  EXPECT_EQ(job.steps[0].bytes, "\x1B@");
  EXPECT_EQ(job.steps[0].pauseMs, 1000);
  EXPECT_EQ(job.steps[1].bytes, "a");
  EXPECT_EQ(job.steps[1].pauseMs, 250);
  EXPECT_EQ(job.steps[2].bytes, "");
  EXPECT_EQ(job.steps[2].pauseMs, 250);
  EXPECT_EQ(job.steps[3].bytes, "\n");
  EXPECT_EQ(job.steps[3].pauseMs, 0);
  EXPECT_EQ(job.ByteCount(), 4u);
}

TEST(ScriptNotation, RefusedScripts) {
  EXPECT_EQ(ErrorLine("ESC @\nESC FOO"), 2);                  // unknown token
  EXPECT_EQ(ErrorLine("ESC @\n\nGS ! 256"), 3);               // number above 255
  EXPECT_EQ(ErrorLine("99999999999999999999999"), 1);         // far above
  EXPECT_EQ(ErrorLine("\"not closed"), 1);
  EXPECT_EQ(ErrorLine("*60001"), 1);                          // pause too long
  EXPECT_EQ(ErrorLine("esc @"), 1);                           // names are upper case
  EXPECT_EQ(ErrorLine("ESC\x01"), 1);
  EXPECT_EQ(ErrorLine("-1"), 1);
  EXPECT_EQ(ErrorLine("ESC @\n\"ok\" CR LF\n"), 0);
}

TEST(ScriptNotation, CodeFunctionLengthMustMatchItsData) {
  EXPECT_EQ(Bytes("GS ( k 3 0 49 67 4"), std::string("\x1D(k\x03\x00\x31\x43\x04", 8));
  EXPECT_EQ(ErrorLine("GS ( k 4 0 49 67 4"), 1);
  EXPECT_EQ(ErrorLine("GS ( k 3 0 49 67 4 0"), 1);
  EXPECT_EQ(ErrorLine("ESC @\nGS ( k 3"), 2);                 // no second length byte
  EXPECT_EQ(ErrorLine("GS ( k 6 0 49 80 48 \"abc\""), 0);     // 3 + 3 text bytes
  EXPECT_EQ(ErrorLine("GS ( k 7 0 49 80 48 \"abc\""), 1);
  EXPECT_EQ(ErrorLine("GS ( k 3 0 49 82 48 GS ( k 3 0 49 81 48"), 0);  // two on one line
  // Star's form: ESC GS y D 1 m nL nH data.
  EXPECT_EQ(ErrorLine("27 29 121 68 49 50 3 0 \"abc\""), 0);
  EXPECT_EQ(ErrorLine("27 29 121 68 49 50 4 0 \"abc\""), 1);
  EXPECT_EQ(ErrorLine("27 29 121 83 48 50"), 0);
}

}  // namespace
}  // namespace telvano::rawprint
