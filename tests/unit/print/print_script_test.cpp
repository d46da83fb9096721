#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "invoice/print_script.h"
#include "support/escpos_qr_decoder.h"
#include "script_parser.h"

namespace telvano::invoice {
namespace {

using Lines = std::vector<std::string>;

// An independent way back from code page 1251, so expected scripts can be written as readable text.
std::string Utf8From1251(const std::string& bytes) {
  iconv_t handle = iconv_open("UTF-8", "CP1251");
  std::string out(bytes.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(handle, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(handle);
  EXPECT_NE(rc, static_cast<std::size_t>(-1)) << "script holds a byte code page 1251 lacks";
  out.resize(out.size() - outLeft);
  return out;
}

// The script's lines, read back as UTF-8; every line must end with CR LF.
Lines ScriptLines(const std::string& script) {
  EXPECT_TRUE(script.size() >= 2 && script.substr(script.size() - 2) == "\r\n");
  Lines lines;
  std::size_t at = 0;
  while (at < script.size()) {
    const std::size_t end = script.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF at the end of the script";
      break;
    }
    const std::string line = script.substr(at, end - at);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    lines.push_back(Utf8From1251(line));
    at = end + 2;
  }
  return lines;
}

// A receipt as the processor writes it, with blank lines where they may appear.
const std::string kJournal =
    "============ ФИСКАЛНИ РАЧУН ============\r\n"
    "ПИБ: 123456789\r\n"
    "Предузеће: Пример доо\r\n"
    "Место продаје: Продавница 1\r\n"
    "Адреса: Улица 1\r\n"
    "Општина: Београд\r\n"
    "\r\n"
    "Касир: Đorđe Šćekić\r\n"
    "-------------ПРОМЕТ ПРОДАЈА-------------\r\n"
    "Šećer (Ђ)\r\n"
    "      100,00          1,000         100,00\r\n"
    "   \r\n"
    "Укупан износ:                     100,00\r\n"
    "========================================\r\n"
    "Ознака       Име      Стопа        Порез\r\n"
    "Ђ           О-ПДВ   20,00%         16,67\r\n"
    "========================================\r\n"
    "\t\r\n"
    "ПФР број рачуна: AAAA-BBBB-123\r\n"
    "======== КРАЈ ФИСКАЛНОГ РАЧУНА =========\r\n"
    "\r\n";
const std::string kUrl = "https://suf.purs.gov.rs/v/?vl=AbC";  // 33 characters

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Lines Body(const std::string& cashierLine, const std::string& itemLine) {
  return {
      "\"============ ФИСКАЛНИ РАЧУН ============\" CR LF",
      "\"123456789\" CR LF",
      "\"Пример доо\" CR LF",
      "\"Продавница 1\" CR LF",
      "\"Улица 1\" CR LF",
      "\"Београд\" CR LF",
      "\"" + cashierLine + "\" CR LF",
      "\"-------------ПРОМЕТ ПРОДАЈА-------------\" CR LF",
      "\"" + itemLine + "\" CR LF",
      "\"      100,00          1,000         100,00\" CR LF",
      "\"Укупан износ:                     100,00\" CR LF",
      "\"Повраћај:                         100,00\" CR LF",
      "\"========================================\" CR LF",
      "\"Ознака       Име      Стопа        Порез\" CR LF",
      "\"Ђ           О-ПДВ   20,00%         16,67\" CR LF",
      "\"========================================\" CR LF",
      "\"ПФР број рачуна: AAAA-BBBB-123\" CR LF",
  };
}

const Lines kEpsonQr = {
    "GS ( k 4 0 49 65 50 0", "GS ( k 3 0 49 67 4", "GS ( k 3 0 49 69 48",
    "GS ( k 36 0 49 80 48 \"https://suf.purs.gov.rs/v/?vl=AbC\"", "GS ( k 3 0 49 82 48",
    "GS ( k 3 0 49 81 48", "CR LF"};
const Lines kTail = {"CR LF", "\"Потпис купца: __________________________\" CR LF", "CR LF",
                     "\"======== КРАЈ ФИСКАЛНОГ РАЧУНА =========\" CR LF", "CR LF", "GS V A 1", "ESC @"};

PrintScriptInput Input(PrinterModel model) {
  PrintScriptInput input;
  input.model = model;
  input.port = "file:receipt.bin";
  input.journal = kJournal;
  input.verificationUrl = kUrl;
  input.changeAmount = db::Decimal{1000000, 4};
  input.signatureLine = true;
  return input;
}

TEST(PrintScript, EachModelGivesItsHandWrittenScript) {
  const Lines latin = Body("Касир: Djordje Scekic", "Secer (Ђ)");
  const Lines qrPosiflex = {
      "GS ( k 4 0 49 65 49 0", "GS ( k 3 0 49 67 4", "GS ( k 3 0 49 69 48",
      "GS ( k 36 0 49 80 48 \"https://suf.purs.gov.rs/v/?vl=AbC\"", "GS ( k 3 0 49 82 48",
      "GS ( k 3 0 49 81 48", "CR LF"};
  const Lines qrStar2 = {"27 29 121 83 48 50", "27 29 121 83 49 48", "27 29 121 83 50 52",
                         "27 29 121 68 49 50 33 0 \"https://suf.purs.gov.rs/v/?vl=AbC\"", "27 29 121 73",
                         "27 29 121 80", "CR LF"};
  const struct {
    PrinterModel model;
    Lines expected;
  } cases[] = {
      {PrinterModel::Epson,
       Concat({{"'EPSON,file:receipt.bin", "ESC @", "ESC t 46", "ESC R 14", "ESC a 1"}, latin, kEpsonQr, kTail})},
      {PrinterModel::Posiflex,
       Concat({{"'POSIFLEX,file:receipt.bin", "ESC @", "ESC t 28", "ESC R 15", "ESC a 1"}, latin, qrPosiflex, kTail})},
      {PrinterModel::Star,
       Concat({{"'STAR,file:receipt.bin", "ESC @", "ESC GS t 34", "ESC R 14", "ESC a 1"}, latin, kEpsonQr, kTail})},
      {PrinterModel::Star2,
       Concat({{"'STAR-2,file:receipt.bin", "ESC @", "ESC GS t 34", "ESC a 1"},
               Body("Касир: Dorde Scekic", "Secer (Ђ)"), qrStar2, kTail})},
      {PrinterModel::Samtec,
       Concat({{"'SAMTEC,file:receipt.bin", "ESC @", "ESC t 23", "ESC R 14", "31 27 31 19 20 3", "ESC a 1"}, latin,
               kEpsonQr, kTail})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScriptLines(BuildPrintScript(Input(c.model))), c.expected) << "model " << static_cast<int>(c.model);
  }
}

TEST(PrintScript, EveryModelScriptIsAcceptedBySender) {
  for (int model = 0; model <= 4; ++model) {
    const std::string script = BuildPrintScript(Input(static_cast<PrinterModel>(model)));
    EXPECT_NO_THROW(rawprint::ParseScript(script)) << "model " << model;
  }
}

TEST(PrintScript, TextIsCodePage1251AndCommandsAscii) {
  const std::string script = BuildPrintScript(Input(PrinterModel::Epson));
  // "123456789" was "ПИБ: 123456789"; Ђ is 0x80 in code page 1251, "ПФР" is CF D4 D0.
  EXPECT_NE(script.find("\"123456789\" CR LF\r\n"), std::string::npos);
  EXPECT_NE(script.find("\"\x80 "), std::string::npos);
  EXPECT_NE(script.find("\"\xCF\xD4\xD0 "), std::string::npos);
  EXPECT_EQ(script.find("\xD0\x9F"), std::string::npos) << "UTF-8 left in the script";
}

TEST(PrintScript, PausesBeforeLines50And100OfA120LineJournal) {
  PrintScriptInput input = Input(PrinterModel::Epson);
  input.journal.clear();
  for (int line = 1; line <= 120; ++line) input.journal += "Ред " + std::to_string(line) + "\r\n\r\n";
  input.changeAmount = db::Decimal{-1, 0};
  const Lines lines = ScriptLines(BuildPrintScript(input));
  std::vector<std::string> beforePause;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i] == "*1000") beforePause.push_back(lines[i + 1]);
  EXPECT_EQ(beforePause, (std::vector<std::string>{"\"Ред 51\" CR LF", "\"Ред 101\" CR LF"}));
}

TEST(PrintScript, TrainingReceiptEmphasisedAndChangeAboveNotFiscalBlock) {
  PrintScriptInput input = Input(PrinterModel::Epson);
  input.journal =
      "========================================\r\n"
      "ОВО НИЈЕ ФИСКАЛНИ РАЧУН\r\n"
      "Артикал Ж\r\n"
      "Укупан износ:                      50,00\r\n"
      "========================================\r\n"
      "ОВО НИЈЕ ФИСКАЛНИ РАЧУН\r\n"
      "========================================\r\n"
      "Ознака       Име      Стопа        Порез\r\n"
      "========== ОБУКА ==========\r\n"
      "КРАЈ\r\n";
  input.changeAmount = db::Decimal{12345, 1};
  input.signatureLine = false;
  const Lines lines = ScriptLines(BuildPrintScript(input));
  // The leading separator line, then the first "not fiscal" line in double size.
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(Lines(lines.begin() + 4, lines.begin() + 9),
            (Lines{"ESC a 1", "\"========================================\" CR LF", "GS ! 1",
                   "\"ОВО НИЈЕ ФИСКАЛНИ РАЧУН\" CR LF", "GS ! 0"}));
  const Lines around = {"\"Укупан износ:                      50,00\" CR LF",
                        "\"Повраћај:                       1.234,50\" CR LF",
                        "\"========================================\" CR LF",
                        "GS ! 1",
                        "\"ОВО НИЈЕ ФИСКАЛНИ РАЧУН\" CR LF",
                        "GS ! 0",
                        "\"========================================\" CR LF",
                        "\"Ознака       Име      Стопа        Порез\" CR LF",
                        "GS ! 1",
                        "\"========== ОБУКА ==========\" CR LF",
                        "GS ! 0"};
  auto found = std::search(lines.begin(), lines.end(), around.begin(), around.end());
  EXPECT_NE(found, lines.end());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find("Повраћај") != std::string::npos; }),
            1);
}

TEST(PrintScript, LongUrlLengthBytes) {
  const std::string url = "https://suf.purs.gov.rs/v/?vl=" + std::string(270, 'A');
  ASSERT_EQ(url.size(), 300u);
  for (int model = 0; model <= 4; ++model) {
    PrintScriptInput input = Input(static_cast<PrinterModel>(model));
    input.verificationUrl = url;
    const std::string script = BuildPrintScript(input);
    const std::string expected = model == 3 ? "27 29 121 68 49 50 44 1 \"" + url + "\"\r\n"
                                            : "GS ( k 47 1 49 80 48 \"" + url + "\"\r\n";
    EXPECT_NE(script.find(expected), std::string::npos) << "model " << model;
    EXPECT_NO_THROW(rawprint::ParseScript(script)) << "model " << model;
  }
}

TEST(PrintScript, EpsonQrSequenceDecodes) {
  PrintScriptInput input = Input(PrinterModel::Epson);
  input.verificationUrl = "https://suf.purs.gov.rs/v/?vl=" + std::string(400, 'z');
  const std::string bytes = rawprint::ParseScript(BuildPrintScript(input)).AllBytes();
  std::size_t at = bytes.find("\x1D(k");
  ASSERT_NE(at, std::string::npos);
  const auto functions = testing::DecodeQrFunctions(bytes, at);
  ASSERT_EQ(functions.size(), 6u);
  const int expectedFn[] = {65, 67, 69, 80, 82, 81};
  for (std::size_t i = 0; i < functions.size(); ++i) {
    EXPECT_EQ(functions[i].cn, 49);
    EXPECT_EQ(functions[i].fn, expectedFn[i]);
  }
  EXPECT_EQ(functions[0].parameters, std::string("\x32\x00", 2));  // model 2
  EXPECT_EQ(functions[1].parameters, "\x04");                      // module size 4
  EXPECT_EQ(functions[2].parameters, "\x30");                      // error correction L
  EXPECT_EQ(functions[3].parameters, "0" + input.verificationUrl);
  EXPECT_EQ(bytes.substr(at, 2), "\r\n") << "the QR functions end exactly where their lengths say";
}

TEST(PrintScript, NoChangeLineWithoutPositiveAmount) {
  for (const db::Decimal amount : {db::Decimal{-1, 0}, db::Decimal{0, 4}, db::Decimal{-10000, 4}}) {
    PrintScriptInput input = Input(PrinterModel::Epson);
    input.changeAmount = amount;
    const std::string script = BuildPrintScript(input);
    EXPECT_EQ(Utf8From1251(script).find("Повраћај"), std::string::npos) << amount.units;
  }
}

TEST(PrintScript, NoSignatureLineWithoutFlag) {
  PrintScriptInput input = Input(PrinterModel::Epson);
  input.signatureLine = false;
  EXPECT_EQ(Utf8From1251(BuildPrintScript(input)).find("Потпис"), std::string::npos);
}

TEST(PrintScript, EmptyJournalGivesSetupAndCutOnly) {
  PrintScriptInput input = Input(PrinterModel::Star2);
  input.journal = "\r\n  \r\n";
  EXPECT_EQ(ScriptLines(BuildPrintScript(input)),
            (Lines{"'STAR-2,file:receipt.bin", "ESC @", "ESC GS t 34", "ESC a 1", "CR LF", "GS V A 1", "ESC @"}));
}

TEST(PrintScript, ControlCharactersNeverReachThePrinter) {
  PrintScriptInput input = Input(PrinterModel::Epson);
  input.journal = "A\x1B" "d\x07\tB\r\nlast\r\n";
  input.port = "COM1\rESC @";
  const std::string script = BuildPrintScript(input);
  EXPECT_EQ(ScriptLines(script)[0], "'EPSON,COM1?ESC @");
  EXPECT_NE(script.find("\"A?d? B\" CR LF"), std::string::npos);
  const std::string bytes = rawprint::ParseScript(script).AllBytes();
  EXPECT_EQ(bytes.find('\x07'), std::string::npos);
}

TEST(ReceiptLine, HeaderLabelsRemovedIgnoringCase) {
  EXPECT_EQ(ReceiptLineText("ПИБ: 123456789", PrinterModel::Epson), "123456789");
  EXPECT_EQ(ReceiptLineText("  пиб:  100200300  ", PrinterModel::Epson), "100200300");
  EXPECT_EQ(ReceiptLineText("Предузеће: ПРЕДУЗЕЋЕ: Х", PrinterModel::Epson), "Х");
  // Only the first label found (in the fixed order) is removed.
  EXPECT_EQ(ReceiptLineText("Адреса: Општина: Ниш", PrinterModel::Epson), "Општина: Ниш");
  EXPECT_EQ(ReceiptLineText("   Касир: Ана   ", PrinterModel::Epson), "   Касир: Ана   ");
}

TEST(ReceiptLine, SerbianLatinPerModel) {
  EXPECT_EQ(ReceiptLineText("ŽŠĐĆČ žšđćč", PrinterModel::Star2), "ZSDCC zsdcc");
  EXPECT_EQ(ReceiptLineText("ŽŠĐĆČ žšđćč", PrinterModel::Epson), "ZSDjCC zsdjcc");
  EXPECT_EQ(ReceiptLineText("Đ", PrinterModel::Samtec), "Dj");
}

TEST(ChangeAmount, TwoDecimalsCommaAndThousandPoints) {
  EXPECT_EQ(ChangeAmountText(db::Decimal{12345, 1}), "1.234,50");
  EXPECT_EQ(ChangeAmountText(db::Decimal{12345000, 4}), "1.234,50");
  EXPECT_EQ(ChangeAmountText(db::Decimal{5, 0}), "5,00");
  EXPECT_EQ(ChangeAmountText(db::Decimal{5, 3}), "0,01");       // half away from zero
  EXPECT_EQ(ChangeAmountText(db::Decimal{9999950, 4}), "1.000,00");
  EXPECT_EQ(ChangeAmountText(db::Decimal{12345678915, 4}), "1.234.567,89");
  EXPECT_EQ(ChangeAmountText(db::Decimal{100, 0}), "100,00");
  EXPECT_EQ(ChangeAmountText(db::Decimal{-10000, 4}), "-1,00");
}

TEST(JournalLines, SplitsAnyLineEndAndDropsBlankLines) {
  EXPECT_EQ(JournalLines("a\r\n\r\n b \n\t\r c\r"), (std::vector<std::string>{"a", " b ", " c"}));
  EXPECT_TRUE(JournalLines("").empty());
}

TEST(CodePage1251, KnownBytesAndUnmappable) {
  EXPECT_EQ(ToCodePage1251("ПИБ Ђ Ћ ј €"), "\xCF\xC8\xC1 \x80 \x8E \xBC \x88");
  EXPECT_EQ(ToCodePage1251("ő中"), "??");
  EXPECT_EQ(ToCodePage1251("a\xFF" "b\xC3"), "a?b?");
  EXPECT_EQ(FromCodePage1251("\xCF\xC8\xC1 \x80"), "ПИБ Ђ");
}

TEST(PrinterModelText, OnlyZeroToFour) {
  EXPECT_EQ(PrinterModelFromText("0"), 0);
  EXPECT_EQ(PrinterModelFromText("4"), 4);
  for (const char* text : {"5", "-1", "", "00", "EPSON"}) EXPECT_EQ(PrinterModelFromText(text), -1) << text;
}

}  // namespace
}  // namespace telvano::invoice
