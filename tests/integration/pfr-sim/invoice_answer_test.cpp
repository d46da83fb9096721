// Signed invoice answers: the reference answer reproduced, tax amounts, the verification URL and its QR image,
// the receipt text of every kind, and the processor's refusals.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <chrono>

#include "sim_client.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;
using pfrsim::SimOptions;
using namespace std::chrono;

SimOptions SandboxOptions() {
  SimOptions options;
  options.pinEntered = true;
  options.taxRatesFile = std::string(PFRSIM_TEST_DATA) + "/tax_rates.json";
  return options;
}

// The request behind the reference normal sale (shared/reference: invoice_response_normal_sale.json).
ordered_json ReferenceSaleRequest() {
  ordered_json invoice;
  invoice["cashier"] = "123456789";
  invoice["invoiceType"] = "Normal";
  invoice["transactionType"] = "Sale";
  invoice["dateAndTimeOfIssue"] = "2020-12-08T07:55:23.000Z";
  invoice["invoiceNumber"] = "POS2017/998";
  invoice["buyerId"] = "RS34564565";
  invoice["buyerCostCenterId"] = "567546";
  invoice["OmitQRCodeGen"] = "1";
  invoice["payment"] = {{{"amount", 68.46}, {"paymentType", "Cash"}}};
  invoice["items"] = {{{"name", "Kaciga Sport-100, plava"},
                       {"quantity", 2},
                       {"uom", "kom"},
                       {"unitPrice", 34.23},
                       {"labels", {"A"}},
                       {"totalAmount", 68.46}}};
  return invoice;
}

std::vector<std::string> Lines(const std::string& journal) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = journal.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(journal.substr(start, end - start));
  }
  EXPECT_EQ(start, journal.size()) << "the journal must end with CR LF";
  return lines;
}

std::size_t Columns(const std::string& line) {
  return static_cast<std::size_t>(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string UrlDecode(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::string Base64Decode(const std::string& text) {
  std::string out(text.size() / 4 * 3, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  EXPECT_GE(length, 0);
  std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
  out.resize(static_cast<std::size_t>(length) - padding);
  return out;
}

std::uint64_t ReadLittle(const std::string& bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::uint64_t ReadBig(const std::string& bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class PfrSimInvoice : public ::testing::Test {
 protected:
  json Sign(const ordered_json& invoice) {
    const auto reply = client.Post("/api/v3/invoices", invoice.dump());
    EXPECT_EQ(reply.status, 200) << reply.body;
    return ParseJson(reply.body);
  }
  json Refusal(const std::string& body) {
    const auto reply = client.Post("/api/v3/invoices", body);
    EXPECT_EQ(reply.status, 400) << reply.body;
    return ParseJson(reply.body);
  }
  void Use(SimOptions options) {
    simulator = StartLpfrSimulator(std::move(options));
    client = LpfrClient(*simulator);
  }
  void SetUp() override {
    SimOptions options;
    options.pinEntered = true;
    Use(options);
  }

  std::unique_ptr<pfrsim::PfrSimulator> simulator;
  SimClient client;
};

TEST_F(PfrSimInvoice, ReferenceNormalSaleIsReproducedLineForLine) {
  Use(SandboxOptions());
  simulator->SetTime(sys_days(2023y / June / 6) + 11h + 21min + 15s + microseconds(504282));
  simulator->SetCounters(11388, {{"ПП", 8651}});
  const json answer = Sign(ReferenceSaleRequest());
  const json reference = ParseJson(ReadDataFile("invoice_response_normal_sale.json"));

  const auto lines = Lines(answer["journal"].get<std::string>());
  const auto expected = Lines(reference["journal"].get<std::string>());
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;

  // Everything else too; only the secure element's bytes (and so the URL) differ.
  for (const char* variable : {"verificationUrl", "encryptedInternalData", "signature"}) {
    EXPECT_TRUE(answer.contains(variable));
  }
  for (auto it = reference.begin(); it != reference.end(); ++it) {
    const std::string key = it.key();
    if (key == "verificationUrl" || key == "encryptedInternalData" || key == "signature") continue;
    EXPECT_EQ(answer[key], it.value()) << key;
  }
}

TEST_F(PfrSimInvoice, AnswerMembersComeInTheProcessorsOrder) {
  const auto reply = client.Post("/api/v3/invoices", OneItemInvoice().dump());
  const auto answer = ordered_json::parse(reply.body);
  std::vector<std::string> keys;
  for (auto it = answer.begin(); it != answer.end(); ++it) keys.push_back(it.key());
  const std::vector<std::string> expected = {
      "requestedBy",   "sdcDateTime", "invoiceCounter",        "invoiceCounterExtension", "invoiceNumber",
      "taxItems",      "verificationUrl", "verificationQRCode", "journal",                 "messages",
      "signedBy",      "encryptedInternalData", "signature",    "totalCounter",            "transactionTypeCounter",
      "totalAmount",   "taxGroupRevision", "businessName",      "tin",                     "locationName",
      "address",       "district",    "mrc"};
  EXPECT_EQ(keys, expected);
}

TEST_F(PfrSimInvoice, TaxAmountsAreExactToFourDecimals) {
  Use(SandboxOptions());
  auto sale = ReferenceSaleRequest();
  EXPECT_EQ(Sign(sale)["taxItems"][0]["amount"], 5.6527);

  // 730 at 11 % gives 72.3423; a zero rate label appears with 0; several items of one label add up first.
  sale["items"] = {{{"name", "Kolač"}, {"quantity", 1}, {"unitPrice", 730}, {"labels", {"F"}}, {"totalAmount", 730}},
                   {{"name", "Voda"}, {"quantity", 3}, {"unitPrice", 0.1}, {"labels", {"B"}}, {"totalAmount", 0.3}}};
  sale["payment"][0]["amount"] = 730.3;
  const json answer = Sign(sale);
  ASSERT_EQ(answer["taxItems"].size(), 2u);
  EXPECT_EQ(answer["taxItems"][0]["label"], "F");
  EXPECT_EQ(answer["taxItems"][0]["amount"], 72.3423);
  EXPECT_EQ(answer["taxItems"][0]["rate"], 11.0);
  EXPECT_EQ(answer["taxItems"][0]["categoryName"], "ECAL");
  EXPECT_EQ(answer["taxItems"][1]["label"], "B");
  EXPECT_EQ(answer["taxItems"][1]["amount"], 0.0);
  EXPECT_EQ(answer["totalAmount"], 730.3);

  SimOptions unlocked;
  unlocked.pinEntered = true;
  Use(unlocked);
  auto two = OneItemInvoice("Ђ", 0.1, 3, 0.3);
  two["items"].push_back(two["items"][0]);
  // 0.6 at 20 %: 0.1 exactly, where binary floating point gives 0.09999…
  EXPECT_EQ(Sign(two)["taxItems"][0]["amount"], 0.1);
}

TEST_F(PfrSimInvoice, VerificationUrlCarriesTheAnswerAndAValidMd5) {
  auto invoice = OneItemInvoice("Е", 12.5, 3, 37.5);
  invoice["buyerId"] = "10:123456789";
  invoice["invoiceType"] = "Training";
  const json answer = Sign(invoice);
  const std::string url = answer["verificationUrl"];
  const std::string prefix = "https://sandbox.suf.purs.gov.rs/v/?vl=";
  ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
  const std::string payload = Base64Decode(UrlDecode(url.substr(prefix.size())));
  ASSERT_EQ(payload.size(), 44u + 12 + 512 + 16);

  EXPECT_EQ(payload[0], 3);
  EXPECT_EQ(payload.substr(1, 8), answer["requestedBy"]);
  EXPECT_EQ(payload.substr(9, 8), answer["signedBy"]);
  EXPECT_EQ(ReadLittle(payload, 17, 4), answer["totalCounter"].get<std::uint64_t>());
  EXPECT_EQ(ReadLittle(payload, 21, 4), answer["transactionTypeCounter"].get<std::uint64_t>());
  EXPECT_EQ(ReadLittle(payload, 25, 8), 375000u);
  const std::string sdc = answer["sdcDateTime"];
  const std::uint64_t milliseconds = ReadBig(payload, 33, 8);
  const auto now = duration_cast<std::chrono::milliseconds>(system_clock::now().time_since_epoch()).count();
  EXPECT_LT(static_cast<long long>(now) - static_cast<long long>(milliseconds), 60'000);
  EXPECT_EQ(payload[41], 3);  // Training
  EXPECT_EQ(payload[42], 0);  // Sale
  ASSERT_EQ(payload[43], 12);
  EXPECT_EQ(payload.substr(44, 12), "10:123456789");
  EXPECT_EQ(payload.substr(56, 256), Base64Decode(answer["encryptedInternalData"]));
  EXPECT_EQ(payload.substr(312, 256), Base64Decode(answer["signature"]));
  ASSERT_EQ(payload.size(), 568u + 16);
  unsigned char md5[16];
  unsigned int length = 0;
  EVP_Digest(payload.data(), 568, md5, &length, EVP_md5(), nullptr);
  EXPECT_EQ(payload.substr(568), std::string(reinterpret_cast<char*>(md5), 16));

  // The seconds of sdcDateTime agree with the milliseconds of the URL.
  const auto receiptSeconds = std::stoi(sdc.substr(17, 2));
  EXPECT_EQ(static_cast<int>((milliseconds / 1000) % 60), receiptSeconds);
}

TEST_F(PfrSimInvoice, QrCodeGifDecodesToTheVerificationUrl) {
  const json answer = Sign(OneItemInvoice());
  const std::string gif = Base64Decode(answer["verificationQRCode"]);
  EXPECT_TRUE(gif.rfind("GIF8", 0) == 0);
  const auto decoded = DecodeQrWithZbar(gif);
  if (!decoded) GTEST_SKIP() << "zbarimg is not installed (Debian package zbar-tools): QR image not decoded";
  EXPECT_EQ(*decoded, answer["verificationUrl"]);
}

TEST_F(PfrSimInvoice, OmitOptionsOfTheRequestAndOfTheSimulator) {
  auto invoice = OneItemInvoice();
  invoice["options"] = {{"omitQRCodeGen", "1"}, {"omitTextualRepresentation", "1"}};
  json answer = Sign(invoice);
  EXPECT_TRUE(answer["verificationQRCode"].is_null());
  EXPECT_TRUE(answer["journal"].is_null());
  EXPECT_FALSE(answer["verificationUrl"].get<std::string>().empty());

  Use(SimOptions{.pinEntered = true, .messages = "Успешно", .omitJournal = true, .omitFields = {"totalAmount"},
                 .extraFields = {{"extra", "{\"a\":1}"}}});
  answer = Sign(OneItemInvoice());
  EXPECT_TRUE(answer["journal"].is_null());
  EXPECT_TRUE(answer["verificationQRCode"].is_string());
  EXPECT_FALSE(answer.contains("totalAmount"));
  EXPECT_EQ(answer["extra"]["a"], 1);
  EXPECT_EQ(answer["messages"], "Успешно");
}

TEST_F(PfrSimInvoice, RefundJournalHasNegativeItemsAndTheReferentDocument) {
  auto refund = OneItemInvoice("Ђ", 730, 1, 730);
  refund["transactionType"] = "Refund";
  refund["invoiceNumber"] = "1230/1.0";
  refund["referentDocumentNumber"] = "YJLQTEQR-YJLQTEQR-92713";
  refund["referentDocumentDT"] = "2024-03-01T11:48:11.000Z";
  const auto lines = Lines(Sign(refund)["journal"]);
  auto has = [&lines](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_EQ(lines.front(), "============ ФИСКАЛНИ РАЧУН ============");
  EXPECT_TRUE(has("Реф. број:       YJLQTEQR-YJLQTEQR-92713"));
  EXPECT_TRUE(has("Реф. време:         01.03.2024. 12:48:11"));
  EXPECT_TRUE(has("-----------ПРОМЕТ РЕФУНДАЦИЈА-----------"));
  EXPECT_TRUE(has("       730,00          1         -730,00"));
  EXPECT_TRUE(has("Укупна рефундација:               730,00"));
  EXPECT_TRUE(has("Ђ           О-ПДВ   20,00%        121,67"));
  EXPECT_EQ(lines.back(), "======== КРАЈ ФИСКАЛНОГ РАЧУНА =========");
  // 40 columns; only an item's name line carries one blank more, as the processor prints it.
  for (const auto& line : lines) EXPECT_EQ(Columns(line) <= 40 || (Columns(line) == 41 && line.back() == ' '), true) << line;
}

TEST_F(PfrSimInvoice, NonFiscalKindsAreBoxedAndTitled) {
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {"ProForma", "-----------ПРЕДРАЧУН ПРОДАЈА------------"},
      {"Copy", "-------------КОПИЈА ПРОДАЈА-------------"},
      {"Training", "-------------ОБУКА ПРОДАЈА--------------"}};
  for (const auto& [kind, title] : kinds) {
    auto invoice = OneItemInvoice();
    invoice["invoiceType"] = kind;
    invoice["referentDocumentNumber"] = "YJLQTEQR-YJLQTEQR-1";
    invoice["referentDocumentDT"] = "2024-03-01T11:48:11Z";
    const auto lines = Lines(Sign(invoice)["journal"]);
    const std::string notFiscal = "======== ОВО НИЈЕ ФИСКАЛНИ РАЧУН =======";
    EXPECT_EQ(lines.front(), notFiscal) << kind;
    EXPECT_EQ(lines.back(), notFiscal) << kind;
    EXPECT_NE(std::find(lines.begin(), lines.end(), title), lines.end()) << kind;
    const auto box = std::find(lines.begin(), lines.end(), "        ОВО НИЈЕ ФИСКАЛНИ РАЧУН         ");
    ASSERT_NE(box, lines.end()) << kind;
    EXPECT_EQ(*(box + 2), "Ознака       Име      Стопа        Порез");
  }
  auto advance = OneItemInvoice();
  advance["invoiceType"] = "Advance";
  const auto lines = Lines(Sign(advance)["journal"]);
  EXPECT_EQ(lines.front(), "============ ФИСКАЛНИ РАЧУН ============");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "-------------АВАНС ПРОДАЈА--------------"), lines.end());
}

TEST_F(PfrSimInvoice, LabelledHeaderStyle) {
  Use(SimOptions{.pinEntered = true, .tin = "111222333", .businessName = "ПРОДАВНИЦА ДОО",
                 .headerStyle = pfrsim::HeaderStyle::Labelled});
  const auto lines = Lines(Sign(OneItemInvoice())["journal"]);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[1], "ПИБ:                           111222333");
  EXPECT_EQ(lines[2], "Предузеће:                ПРОДАВНИЦА ДОО");
  EXPECT_EQ(lines[3].rfind("Место продаје:", 0), 0u);
  EXPECT_EQ(lines[4].rfind("Адреса:", 0), 0u);
  EXPECT_EQ(lines[5], "Општина:                         Београд");
}

TEST_F(PfrSimInvoice, PaymentsAndLongNamesOnTheReceipt) {
  auto invoice = OneItemInvoice("Ђ", 1234.5, 1.5, 1851.75);
  invoice["items"][0]["name"] = std::string("Веома дугачак назив артикла који не стаје у један ред рачуна");
  invoice["payment"] = {{{"amount", 1000}, {"paymentType", "Card"}}, {{"amount", 851.75}, {"paymentType", "WireTransfer"}}};
  const auto lines = Lines(Sign(invoice)["journal"]);
  auto has = [&lines](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(has("Веома дугачак назив артикла који не стај"));
  EXPECT_TRUE(has("е у један ред рачуна (Ђ)                 "));
  EXPECT_TRUE(has("     1.234,50        1,5        1.851,75"));
  EXPECT_TRUE(has("Платна картица:                 1.000,00"));
  EXPECT_TRUE(has("Пренос на рачун:                  851,75"));
}

TEST_F(PfrSimInvoice, RefusalsInTheProcessorsModelStateForm) {
  // A label of the group announced for 2099 is not in force yet; a Latin A is not the Cyrillic А.
  for (const std::string label : {"Ж", "A"}) {
    const json refusal = Refusal(OneItemInvoice(label).dump());
    EXPECT_EQ(refusal, json::parse(R"({"message":"Bad Request","modelState":[{"property":"items[0].labels","errors":["2310"]}]})"))
        << label;
  }
  auto empty = OneItemInvoice();
  empty["items"] = json::array();
  EXPECT_EQ(Refusal(empty.dump())["modelState"][0], json::parse(R"({"property":"items","errors":["2807"]})"));

  auto refund = OneItemInvoice();
  refund["transactionType"] = "Refund";
  const json missing = Refusal(refund.dump());
  ASSERT_EQ(missing["modelState"].size(), 2u);
  EXPECT_EQ(missing["modelState"][0], json::parse(R"({"property":"referentDocumentNumber","errors":["2800"]})"));
  EXPECT_EQ(missing["modelState"][1], json::parse(R"({"property":"referentDocumentDT","errors":["2800"]})"));
  auto copy = OneItemInvoice();
  copy["invoiceType"] = "Copy";
  EXPECT_EQ(Refusal(copy.dump())["modelState"].size(), 2u);

  EXPECT_EQ(Refusal(OneItemInvoice("Ђ", 10.01, 3, 30.04).dump())["modelState"][0],
            json::parse(R"({"property":"items[0].totalAmount","errors":["2805"]})"));
  EXPECT_EQ(Refusal(R"({"invoiceType":"Normal", "items": [)")["modelState"][0]["errors"][0], "2806");

  auto badReferent = OneItemInvoice();
  badReferent["referentDocumentNumber"] = "12345";
  EXPECT_EQ(Refusal(badReferent.dump())["modelState"][0],
            json::parse(R"({"property":"referentDocumentNumber","errors":["2806"]})"));
  EXPECT_EQ(simulator->TotalCounter(), 0u);  // nothing refused was counted
}

TEST_F(PfrSimInvoice, MemberNamesAndEnumerationsWithoutRegardToCase) {
  const std::string body =
      R"({"INVOICETYPE":0,"transactiontype":"sale","Payment":[{"Amount":5,"PaymentType":1}],)"
      R"("Items":[{"Name":"x","Quantity":1,"UnitPrice":5,"Labels":["А"],"TotalAmount":5}]})";
  const auto reply = client.Post("/api/v3/invoices", body);
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(ParseJson(reply.body)["invoiceCounterExtension"], "ПП");
}

}  // namespace
}  // namespace telvano::testing
