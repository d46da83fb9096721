#include <gtest/gtest.h>

#include "invoice/csv_invoice.h"
#include "invoice/csv_text.h"
#include "invoice/invoice_error.h"

namespace telvano::invoice {
namespace {

using Fields = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const InvoiceError& error) {
    return error.what();
  }
  return "(no failure)";
}

TEST(SplitFields, BlanksSeparateFieldsOutsideQuotes) {
  EXPECT_EQ(SplitFields(",TestArtikal,1,1,kom,1,Ђ"), (Fields{"", "TestArtikal", "1", "1", "kom", "1", "Ђ"}));
  EXPECT_EQ(SplitFields(",Test Artikal,1,1,kom,1,Ђ"),
            (Fields{"", "Test", "Artikal", "1", "1", "kom", "1", "Ђ"}));
  EXPECT_EQ(SplitFields(",\"Test Artikal\",1,1,kom,1,Ђ"),
            (Fields{"", "Test Artikal", "1", "1", "kom", "1", "Ђ"}));
  EXPECT_EQ(SplitFields("  a ,  b\t,c  "), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitFields("a,,b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitFields("Cash,,"), (Fields{"Cash", "", ""}));
  EXPECT_EQ(SplitFields("a,"), (Fields{"a", ""}));
  EXPECT_EQ(SplitFields(""), Fields{});
}

TEST(SplitFields, QuotedFieldsKeepCommasAndDoubledQuotes) {
  EXPECT_EQ(SplitFields("\"a,b\",\"say \"\"hi\"\"\",x"), (Fields{"a,b", "say \"hi\"", "x"}));
  EXPECT_EQ(SplitFields("\"unterminated, still here"), (Fields{"unterminated, still here"}));
  EXPECT_EQ(SplitFields("\"\",x"), (Fields{"", "x"}));
  EXPECT_EQ(SplitFields("O'Brien,x"), (Fields{"O'Brien", "x"}));
}

TEST(SplitFields, CountAndFirstFieldAgreeWithTheSplit) {
  for (const char* line : {",TestArtikal,1,1,kom,1,Ђ", "a b c", "\"x y\",", "  ,", "BLOCK_ITEMS,,", "E-O-B"}) {
    const Fields fields = SplitFields(line);
    EXPECT_EQ(CountFields(line), fields.size()) << line;
    EXPECT_EQ(FirstField(line), fields.empty() ? "" : fields[0]) << line;
  }
}

TEST(InvoiceText, LineEndsBomAndBlankLines) {
  EXPECT_EQ(SplitInvoiceLines("a\r\nb\rc\nd"), (Fields{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitInvoiceLines("a\r\n\r\n  \t\r\nb\r\n"), (Fields{"a", "b"}));
  EXPECT_EQ(SplitInvoiceLines(std::string("a\r\n\0\0 \r\n b ", 11)), (Fields{"a", " b "}));
  EXPECT_EQ(DecodeInvoiceText("\xEF\xBB\xBF" "BLOCK", "UTF-8"), "BLOCK");
}

TEST(InvoiceText, InvalidUtf8FailsNamingTheLineOrIsReadInTheCodePage) {
  const std::string bytes = "BLOCK_ITEMS\r\n,Kafa,1,1,kom,1,A\r\n,\x9A" "ljiva,1,1,kom,1,A\r\n";
  EXPECT_EQ(MessageOf([&] { DecodeInvoiceText(bytes, "UTF-8"); }),
            "Neispravan UTF-8 tekst u redu 3 / Invalid UTF-8 text in line 3");
  // 0x9A is "š" in windows-1250.
  EXPECT_EQ(DecodeInvoiceText(bytes, "windows-1250"),
            "BLOCK_ITEMS\r\n,Kafa,1,1,kom,1,A\r\n,\xC5\xA1ljiva,1,1,kom,1,A\r\n");
  std::size_t offset = 0;
  EXPECT_FALSE(IsValidUtf8("\xC0\x80", &offset));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80", &offset));  // surrogate
  EXPECT_FALSE(IsValidUtf8("ab\xE2\x82", &offset));    // cut short
  EXPECT_EQ(offset, 2u);
  EXPECT_TRUE(IsValidUtf8("Ђ€𝄞"));
}

TEST(InvoiceFileName, ChecksInTheirOrder) {
  const InvoiceValueLists lists;
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_XS_1.csv", lists); }), kMessageNameIt);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_XX_1.csv", lists); }), kMessageNameIt);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_NX_1.csv", lists); }), kMessageNameTt);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_NS_.csv", lists); }), kMessageNamePattern);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_NSX1.csv", lists); }), kMessageNamePattern);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV", lists); }), kMessageNameIt);
  EXPECT_EQ(MessageOf([&] { CheckInvoiceFileName("INV_NS_../../x.csv", lists); }), kMessageNamePattern);

  const InvoiceFileName name = CheckInvoiceFileName("inv_ns_1.csv", lists);
  EXPECT_EQ(name.extFilename, "INV_NS_1.CSV");
  EXPECT_EQ(name.ItType(), "NS");
  EXPECT_TRUE(name.hasCsvExtension);
  EXPECT_FALSE(CheckInvoiceFileName("INV_AR_7.txt", lists).hasCsvExtension);
  EXPECT_EQ(CheckInvoiceFileName("inv_ps_čaj.Csv", lists).extFilename, "INV_PS_ČAJ.CSV");
}

const Fields kGoodFile = {"BLOCK_ITEMS", ",TestArtikal,1,1,kom,1,Ђ", "e-o-b",        "BLOCK_PAYMENTS",
                          "Cash,,1",     "Card,,",                   "E-O-B",        "block_others",
                          "cashier,Pera", "CASHIER,Mika",            "buyerId,\"\"", "E-O-B"};

TEST(InvoiceBlocks, TakesTheThreeBlocksAndDropsPaymentsWithoutAmount) {
  const ParsedInvoice parsed = ParseInvoiceLines(kGoodFile);
  EXPECT_EQ(parsed.itemLines, Fields{",TestArtikal,1,1,kom,1,Ђ"});
  EXPECT_EQ(parsed.paymentLines, Fields{"Cash,,1"});
  EXPECT_EQ(parsed.others.Value("Cashier"), "Pera");  // the first pair of a key counts
  EXPECT_EQ(parsed.others.Value("buyerId"), "");
  EXPECT_EQ(parsed.others.Value("missing"), "");
}

TEST(InvoiceBlocks, EachBlockMessage) {
  auto fails = [](Fields lines) { return MessageOf([&] { ParseInvoiceLines(lines); }); };
  EXPECT_EQ(fails({}), "NEMA BLOCK_ITEMS");
  EXPECT_EQ(fails({"BLOCK_ITEMS", "E-O-B"}), "NEMA BLOCK_PAYMENTS");
  EXPECT_EQ(fails({"BLOCK_ITEMS", "E-O-B", "BLOCK_PAYMENTS", "E-O-B"}), "NEMA BLOCK_OTHERS");
  EXPECT_EQ(fails({"E-O-B", "BLOCK_ITEMS", ",a,1,1,kom,1,A"}), "NEMA E-O-B");
  EXPECT_EQ(fails({"BLOCK_ITEMS", ",a,1,1,kom,1", "E-O-B"}), "BLOCK_ITEMS Neodgovarajući broj kolona: BLOCK_ITEMS");
  EXPECT_EQ(fails({"BLOCK_ITEMS", "E-O-B", "BLOCK_PAYMENTS", "Cash,1", "E-O-B"}),
            "BLOCK_PAYMENTS Neodgovarajući broj kolona: BLOCK_PAYMENTS");
  EXPECT_EQ(fails({"BLOCK_ITEMS", "E-O-B", "BLOCK_PAYMENTS", "E-O-B", "BLOCK_OTHERS", "cashier", "E-O-B"}),
            "BLOCK_OTHERS Neodgovarajući broj kolona: BLOCK_OTHERS");
  // Blocks may come in any order and may be empty.
  const ParsedInvoice parsed =
      ParseInvoiceLines({"BLOCK_OTHERS", "E-O-B", "BLOCK_PAYMENTS", "E-O-B", "BLOCK_ITEMS", "E-O-B"});
  EXPECT_TRUE(parsed.itemLines.empty());
  EXPECT_TRUE(parsed.paymentLines.empty());
}

TEST(InvoiceOptions, CustomizedKeys) {
  ValueList others{{"customizedexport", "star-2"}, {"CustomizedSerial", "/dev/ttyS0"}, {"CustomizedKusur", "12.34567"},
                   {"CustomizedPotpis", "1"},      {"CustomizedTaxLabels", "1"},        {"CustomizedJSON", "1"}};
  const InvoiceOptions options = ReadInvoiceOptions(others);
  EXPECT_EQ(options.printerModel, 3);
  EXPECT_EQ(options.printerPort, "/dev/ttyS0");
  EXPECT_EQ(options.changeAmount.units, 123457);
  EXPECT_EQ(options.changeAmount.scale, 4);
  EXPECT_TRUE(options.signatureLine && options.taxLabelCodes && options.keepJson);

  const InvoiceOptions defaults =
      ReadInvoiceOptions(ValueList{{"CustomizedKusur", "12,5"}, {"CustomizedJSON", "true"}, {"CustomizedExport", "HP"}});
  EXPECT_EQ(defaults.printerModel, -1);
  EXPECT_EQ(defaults.changeAmount.units, -10000);
  EXPECT_FALSE(defaults.keepJson || defaults.signatureLine || defaults.taxLabelCodes);
  for (auto [text, model] : std::vector<std::pair<const char*, int>>{
           {"EPSON", 0}, {"posiflex", 1}, {"Star", 2}, {"STAR-2", 3}, {"SAMTEC", 4}, {"", -1}}) {
    EXPECT_EQ(PrinterModelNumber(text), model) << text;
  }
}

TEST(InvoiceOptions, Fixed4Parsing) {
  EXPECT_EQ(ParseFixed4("5")->units, 50000);
  EXPECT_EQ(ParseFixed4("-0.5")->units, -5000);
  EXPECT_EQ(ParseFixed4("1.00005")->units, 10001);
  EXPECT_FALSE(ParseFixed4("").has_value());
  EXPECT_FALSE(ParseFixed4("1.2.3").has_value());
  EXPECT_FALSE(ParseFixed4("abc").has_value());
  EXPECT_FALSE(ParseFixed4("99999999999999999999").has_value());
  EXPECT_EQ(ParseFixed4("922337203685476.9999")->units, 9223372036854769999);
  EXPECT_FALSE(ParseFixed4("922337203685477").has_value());
  EXPECT_FALSE(ParseFixed4("9999999999999999").has_value());
}

}  // namespace
}  // namespace telvano::invoice
