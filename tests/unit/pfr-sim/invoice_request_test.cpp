// What the processor accepts in an invoice request, and which code each refusal carries.
#include "pfr-sim/invoice_request.h"

#include <gtest/gtest.h>

namespace telvano::pfrsim {
namespace {

class PfrSimRequest : public ::testing::Test {
 protected:
  ParsedInvoice Parse(const std::string& body) const { return InvoiceRequestParser(time, group).Parse(body); }
  std::vector<std::string> Codes(const std::string& body) const {
    std::vector<std::string> codes;
    for (const auto& error : Parse(body).errors) codes.push_back(error.property + " " + error.code);
    return codes;
  }

  TaxRateTable table = TaxRateTable::Production();
  const TaxGroup* group = table.InForce(std::chrono::system_clock::now());
  SimTime time;
};

const std::string kItem = R"({"name":"x","quantity":2,"unitPrice":1.5,"labels":["Ђ"],"totalAmount":3})";

TEST_F(PfrSimRequest, ReadsTelvanosRequest) {
  const auto parsed = Parse(
      R"({"cashier":"Пера","invoiceType":"Training","transactionType":"Refund","dateAndTimeOfIssue":"2024-01-15T10:30:00Z",)"
      R"("invoiceNumber":"POS-1","referentDocumentNumber":"AB12CD34-AB12CD34-77","referentDocumentDT":"2024-01-14T10:00:00Z",)"
      R"("buyerId":"10:123","OmitQRCodeGen":"1","OmitTextualRepresentation":"0","payment":[{"amount":3,"paymentType":"Card"}],)"
      R"("items":[{"gtin":"12345678","name":"x","quantity":2,"uom":"kom","unitPrice":1.5,"labels":["Ђ","Е"],"totalAmount":3}]})");
  ASSERT_TRUE(parsed.request) << (parsed.errors.empty() ? "" : parsed.errors[0].property);
  const InvoiceRequest& request = *parsed.request;
  EXPECT_EQ(request.invoiceType, InvoiceType::Training);
  EXPECT_EQ(request.transactionType, TransactionType::Refund);
  EXPECT_EQ(request.cashier, "Пера");
  EXPECT_TRUE(request.omitQRCodeGen);
  EXPECT_FALSE(request.omitTextualRepresentation);
  ASSERT_EQ(request.payments.size(), 1u);
  EXPECT_EQ(request.payments[0].paymentType, PaymentType::Card);
  ASSERT_EQ(request.items.size(), 1u);
  EXPECT_EQ(request.items[0].labels, (std::vector<std::string>{"Ђ", "Е"}));
  EXPECT_EQ(InvoiceCounterExtension(request.invoiceType, request.transactionType), "ОР");
}

TEST_F(PfrSimRequest, RefusalCodes) {
  EXPECT_EQ(Codes("not json"), std::vector<std::string>{"request 2806"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale"})"), std::vector<std::string>{"items 2800"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Bogus","transactionType":"Sale","items":[)" + kItem + "]}"),
            std::vector<std::string>{"invoiceType 2805"});
  EXPECT_EQ(Codes(R"({"transactionType":"Sale","items":[)" + kItem + "]}"), std::vector<std::string>{"invoiceType 2800"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","cashier":)" + std::string("\"") +
                  std::string(51, 'x') + R"(","items":[)" + kItem + "]}"),
            std::vector<std::string>{"cashier 2801"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","items":[{"name":"x","gtin":"123","quantity":1,)"
                  R"("unitPrice":1,"labels":["Ђ"],"totalAmount":1}]})"),
            std::vector<std::string>{"items[0].gtin 2803"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","items":[{"name":"x","quantity":0,)"
                  R"("unitPrice":1,"labels":["Ђ"],"totalAmount":0}]})"),
            std::vector<std::string>{"items[0].quantity 2805"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","items":[{"name":"x","quantity":1,)"
                  R"("unitPrice":1,"labels":[],"totalAmount":1}]})"),
            std::vector<std::string>{"items[0].labels 2800"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","items":[{"name":"x","quantity":"1",)"
                  R"("unitPrice":1,"labels":["Ђ"],"totalAmount":1}]})"),
            std::vector<std::string>{"items[0].quantity 2806"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","dateAndTimeOfIssue":"yesterday","items":[)" + kItem +
                  "]}"),
            std::vector<std::string>{"dateAndTimeOfIssue 2806"});
  EXPECT_EQ(Codes(R"({"invoiceType":"Normal","transactionType":"Sale","payment":[{"amount":-1,"paymentType":"Cash"}],"items":[)" +
                  kItem + "]}"),
            std::vector<std::string>{"payment[0].amount 2805"});
}

TEST_F(PfrSimRequest, NoGroupInForceRefusesEveryLabel) {
  const auto parsed = InvoiceRequestParser(time, nullptr)
                          .Parse(R"({"invoiceType":"Normal","transactionType":"Sale","items":[)" + kItem + "]}");
  ASSERT_EQ(parsed.errors.size(), 1u);
  EXPECT_EQ(parsed.errors[0].code, "2310");
}

}  // namespace
}  // namespace telvano::pfrsim
