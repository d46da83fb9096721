#pragma once

#include <optional>
#include <string>
#include <vector>

#include "decimal.h"
#include "sim_time.h"
#include "tax_rate_table.h"

namespace telvano::pfrsim {

enum class InvoiceType { Normal = 0, ProForma = 1, Copy = 2, Training = 3, Advance = 4 };
enum class TransactionType { Sale = 0, Refund = 1 };
enum class PaymentType { Other = 0, Cash = 1, Card = 2, Check = 3, WireTransfer = 4, Voucher = 5, MobileMoney = 6 };

struct InvoiceItem {
  std::string gtin;
  std::string name;
  Decimal quantity;
  Decimal unitPrice;
  Decimal totalAmount;
  std::vector<std::string> labels;
};

struct InvoicePayment {
  PaymentType paymentType = PaymentType::Other;
  Decimal amount;
};

// A checked invoice request, as the processor understood it.
struct InvoiceRequest {
  InvoiceType invoiceType = InvoiceType::Normal;
  TransactionType transactionType = TransactionType::Sale;
  std::string cashier;
  std::string buyerId;
  std::string buyerCostCenterId;
  std::string invoiceNumber;  // the POS's own number ("ЕСИР број")
  std::optional<TimePoint> dateAndTimeOfIssue;
  std::string referentDocumentNumber;
  std::optional<TimePoint> referentDocumentDT;
  std::vector<InvoicePayment> payments;
  std::vector<InvoiceItem> items;
  bool omitQRCodeGen = false;
  bool omitTextualRepresentation = false;
};

// One entry of the answer's "modelState": the member at fault and the processor code.
struct ModelError {
  std::string property;
  std::string code;
};

struct ParsedInvoice {
  std::optional<InvoiceRequest> request;  // set when errors is empty
  std::vector<ModelError> errors;
};

// Reads a POST /api/v3/invoices body the way a processor does: member names without regard to case, enumerations
// as names or numbers, and every check that a processor makes before it signs (2310, 2800, 2801, 2803, 2805,
// 2806, 2807, 2808).
class InvoiceRequestParser {
 public:
  InvoiceRequestParser(const SimTime& time, const TaxGroup* groupInForce);
  ParsedInvoice Parse(const std::string& body) const;

 private:
  const SimTime& m_time;
  const TaxGroup* m_groupInForce;
};

std::string InvoiceTypeName(InvoiceType type);
std::string TransactionTypeName(TransactionType type);
std::string PaymentTypeName(PaymentType type);
// The counter extension: invoice-type letter (П Р К О А) and transaction letter (П Р).
std::string InvoiceCounterExtension(InvoiceType invoiceType, TransactionType transactionType);

}  // namespace telvano::pfrsim
