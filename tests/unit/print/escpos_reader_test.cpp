#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "escpos_reader.h"
#include "invoice/print_script.h"
#include "script_parser.h"

namespace telvano::rawprint {
namespace {

using Items = std::vector<std::string>;

std::string Bytes(std::string_view notation) { return ParseScript(notation).AllBytes(); }

// One printed item as a short text: a line as its alignment (< = >) and its runs, a run in another style as
// {WxH[b][u]:text}; an empty line as ""; "QR <module><level> <alignment> <data>"; "FEED n"; "CUT"/"PARTIAL
// CUT".
std::string Describe(const ReceiptItem& item) {
  const char* alignment = item.alignment == Alignment::Left     ? "<"
                          : item.alignment == Alignment::Centre ? "="
                                                                : ">";
  switch (item.kind) {
    case ReceiptItem::Kind::Line: {
      if (item.runs.empty()) return "";
      std::string text = std::string(alignment) + " ";
      for (const TextRun& run : item.runs) {
        if (run.width == 1 && run.height == 1 && !run.bold && !run.underline) {
          text += run.text;
          continue;
        }
        text += "{" + std::to_string(run.width) + "x" + std::to_string(run.height) + (run.bold ? "b" : "") +
                (run.underline ? "u" : "") + ":" + run.text + "}";
      }
      return text;
    }
    case ReceiptItem::Kind::Qr:
      return "QR " + std::to_string(item.qrModule) + item.qrLevel + " " + alignment + " " + item.qrData;
    case ReceiptItem::Kind::Feed:
      return "FEED " + std::to_string(item.feedDots);
    case ReceiptItem::Kind::Cut:
      return item.partialCut ? "PARTIAL CUT" : "CUT";
  }
  return "?";
}

Items Read(const std::string& bytes, std::string_view model = "EPSON") {
  Items items;
  for (const ReceiptItem& item : ReadEscPos(bytes, model).items) items.push_back(Describe(item));
  return items;
}

constexpr const char* kUrl = "https://suf.purs.gov.rs/v/?vl=A0NKTFFURVFSWUpMUVRFUVKkAgAA";

// What each model prints of the same journal, through the print script TELVANO writes for it.
struct ModelCase {
  invoice::PrinterModel model;
  const char* name;
  const char* latinLine;  // "Šećer Đak" as the model's letters give it
};

void PrintTo(const ModelCase& modelCase, std::ostream* out) { *out << modelCase.name; }

class ReceiptOfEachModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ReceiptOfEachModel, PrintsTheJournalInCyrillicWithItsQrCodeAndCut) {
  invoice::PrintScriptInput input;
  input.model = GetParam().model;
  input.port = "png:receipt.png";
  input.journal = "ПИБ: 123456789\r\nОБУКА\r\nŠećer Đak\r\nКРАЈ\r\n";
  input.verificationUrl = kUrl;
  EXPECT_EQ(Read(Bytes(invoice::BuildPrintScript(input)), GetParam().name),
            (Items{"= 123456789", "= {1x2:ОБУКА}", std::string("= ") + GetParam().latinLine,
                   std::string("QR 4L = ") + kUrl, "", "= КРАЈ", "", "CUT"}));
}

INSTANTIATE_TEST_SUITE_P(Models, ReceiptOfEachModel,
                         ::testing::Values(ModelCase{invoice::PrinterModel::Epson, "EPSON", "Secer Djak"},
                                           ModelCase{invoice::PrinterModel::Posiflex, "POSIFLEX",
                                                     "Secer Djak"},
                                           ModelCase{invoice::PrinterModel::Star, "STAR", "Secer Djak"},
                                           ModelCase{invoice::PrinterModel::Star2, "STAR-2", "Secer Dak"},
                                           ModelCase{invoice::PrinterModel::Samtec, "SAMTEC", "Secer Djak"}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           return name == "STAR-2" ? std::string("STAR2") : name;
                         });

struct BytesCase {
  const char* name;
  std::string bytes;
  Items expected;
};

void PrintTo(const BytesCase& bytesCase, std::ostream* out) { *out << bytesCase.name; }

class Commands : public ::testing::TestWithParam<BytesCase> {};

TEST_P(Commands, PrintWhatThePrinterWould) { EXPECT_EQ(Read(GetParam().bytes), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    EscPos, Commands,
    ::testing::Values(
        BytesCase{"PrintModes",
                  Bytes("ESC ! 48 \"AB\" LF\nESC ! 8 \"x\" LF\nESC ! 128 \"u\" LF\nESC ! 0 \"n\" LF"),
                  {"< {2x2:AB}", "< {1x1b:x}", "< {1x1u:u}", "< n"}},
        BytesCase{"SizesChangeWithinALine",
                  Bytes("\"a\"\nGS ! 17 \"b\"\nGS ! 0 \"c\" LF\nGS ! 32 \"w\" LF"),
                  {"< a{2x2:b}c", "< {3x1:w}"}},
        BytesCase{
            "LongLinesWrap",
            std::string(45, 'x') + "\n\x1D!\x10" + std::string(22, 'y') + "\n",
            {"< " + std::string(42, 'x'), "< xxx", "< {2x1:" + std::string(21, 'y') + "}", "< {2x1:y}"}},
        BytesCase{"AlignmentCountsFromTheLineStart",
                  Bytes("ESC a 2 \"r\" LF\nESC a 49 \"c\" ESC a 0 LF\n\"l\" LF"),
                  {"> r", "= c", "< l"}},
        BytesCase{"CodeTables",
                  Bytes("130 LF ESC t 17 128 LF ESC t 16 233 LF ESC t 46 192 LF ESC @ 130 LF"),
                  {"< é", "< А", "< é", "< А", "< é"}},
        BytesCase{
            "TabsCrAndControlBytes", Bytes("\"a\" HT\n\"b\" CR LF\nBEL \"c\" 0 LF"), {"< a       b", "< c"}},
        BytesCase{"Feeds", Bytes("ESC d 2 \"a\" ESC d 2 ESC J 50"), {"", "", "< a", "", "FEED 50"}},
        BytesCase{"Cuts",
                  Bytes("GS V 48 GS V 1 GS V 65 3 GS V 66 3 \"a\" GS V 0"),
                  {"CUT", "PARTIAL CUT", "CUT", "PARTIAL CUT", "< a", "CUT"}},
        BytesCase{"QrSettingsStoreAndPrint",
                  Bytes("ESC a 2\nGS ( k 3 0 49 67 6\nGS ( k 3 0 49 69 49\nGS ( k 5 0 49 80 48 \"ab\"\n"
                        "GS ( k 3 0 49 82 48\nGS ( k 3 0 49 81 48\nESC @ GS ( k 3 0 49 81 48"),
                  {"QR 6M > ab", "QR 3L < ab"}},
        BytesCase{"OtherCommandsArePassedOver",
                  Bytes("ESC p 0 25 250 \"x\" LF\nGS L 0 0 ESC R 14 ESC 31 \"y\" LF\n31 27 31 19 20 3 GS ( L "
                        "2 0 48 69 FS .\n"
                        "GS k 2 \"123\" NUL\n\"z\" LF"),
                  {"< x", "< y", "< z"}},
        BytesCase{
            "ResetDropsTheLineBufferAndStyles", Bytes("GS ! 17 ESC a 1 \"lost\"\nESC @ \"x\" LF"), {"< x"}},
        BytesCase{"UnfinishedLineAndCutOffCommand",
                  std::string("a\nb\x1D(k\x09\x00"
                              "1",
                              9),
                  {"< a"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvano::rawprint
