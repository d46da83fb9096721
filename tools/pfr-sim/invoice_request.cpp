#include "invoice_request.h"

#include <nlohmann/json.hpp>

#include "text_layout.h"

namespace telvano::pfrsim {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxItems = 1000;
constexpr std::size_t kMaxPayments = 100;

const char* const kInvoiceTypes[] = {"Normal", "ProForma", "Copy", "Training", "Advance"};
const char* const kTransactionTypes[] = {"Sale", "Refund"};
const char* const kPaymentTypes[] = {"Other", "Cash", "Card", "Check", "WireTransfer", "Voucher", "MobileMoney"};

// Member lookup without regard to the case of the name; a JSON null counts as absent.
const json* Member(const json& object, const std::string& name) {
  const std::string wanted = ToLowerAscii(name);
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (ToLowerAscii(it.key()) == wanted) return it->is_null() ? nullptr : &*it;
  }
  return nullptr;
}

class Checker {
 public:
  explicit Checker(std::vector<ModelError>& errors) : m_errors(errors) {}

  void Fail(const std::string& property, const std::string& code) { m_errors.push_back({property, code}); }

  // A text member: absent or empty gives "", a non-string is 2806, too long 2801.
  std::string Text(const json& object, const std::string& name, const std::string& property, std::size_t maxLength) {
    const json* value = Member(object, name);
    if (value == nullptr) return {};
    if (!value->is_string()) {
      Fail(property, "2806");
      return {};
    }
    const std::string text = value->get<std::string>();
    if (CharacterCount(text) > maxLength) Fail(property, "2801");
    return text;
  }

  std::optional<Decimal> Number(const json& object, const std::string& name, const std::string& property) {
    const json* value = Member(object, name);
    if (value == nullptr) {
      Fail(property, "2800");
      return std::nullopt;
    }
    std::optional<Decimal> number;
    if (value->is_number_integer()) number = Decimal::FromInteger(value->get<std::int64_t>());
    else if (value->is_number()) number = Decimal::FromDouble(value->get<double>());
    if (!number) Fail(property, value->is_number() ? "2805" : "2806");
    return number;
  }

  // An enumeration written as its name (any case) or its number.
  template <std::size_t N>
  std::optional<int> Enumeration(const json& object, const std::string& name, const std::string& property,
                                 const char* const (&names)[N]) {
    const json* value = Member(object, name);
    if (value == nullptr) {
      Fail(property, "2800");
      return std::nullopt;
    }
    if (value->is_number_integer()) {
      const auto number = value->get<std::int64_t>();
      if (number >= 0 && number < static_cast<std::int64_t>(N)) return static_cast<int>(number);
    } else if (value->is_string()) {
      const std::string text = ToLowerAscii(value->get<std::string>());
      for (std::size_t i = 0; i < N; ++i) {
        if (text == ToLowerAscii(names[i])) return static_cast<int>(i);
      }
    }
    Fail(property, "2805");
    return std::nullopt;
  }

 private:
  std::vector<ModelError>& m_errors;
};

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "XXXXXXXX-XXXXXXXX-N": requestedBy, signedBy and the total counter of the document referred to.
bool IsInvoiceNumberForm(const std::string& text) {
  if (text.size() < 19 || text[8] != '-' || text[17] != '-') return false;
  for (std::size_t i = 0; i < 17; ++i) {
    if (i != 8 && !IsAsciiAlnum(text[i])) return false;
  }
  for (std::size_t i = 18; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() <= 28;
}

bool OptionSet(const json* value) {
  if (value == nullptr) return false;
  if (value->is_string()) return value->get<std::string>() == "1";
  if (value->is_boolean()) return value->get<bool>();
  if (value->is_number_integer()) return value->get<std::int64_t>() == 1;
  return false;
}

// The members before the options and lists: the types, the people, the number and the times, and the
// document a refund or a copy refers to.
void ReadHeader(Checker& check, const json& document, const SimTime& time, InvoiceRequest& request) {
  if (auto type = check.Enumeration(document, "invoiceType", "invoiceType", kInvoiceTypes)) {
    request.invoiceType = static_cast<InvoiceType>(*type);
  }
  if (auto type = check.Enumeration(document, "transactionType", "transactionType", kTransactionTypes)) {
    request.transactionType = static_cast<TransactionType>(*type);
  }
  request.cashier = check.Text(document, "cashier", "cashier", 50);
  request.buyerId = check.Text(document, "buyerId", "buyerId", 20);
  request.buyerCostCenterId = check.Text(document, "buyerCostCenterId", "buyerCostCenterId", 50);
  request.invoiceNumber = check.Text(document, "invoiceNumber", "invoiceNumber", 60);

  const std::string issued = check.Text(document, "dateAndTimeOfIssue", "dateAndTimeOfIssue", 40);
  if (!issued.empty()) {
    request.dateAndTimeOfIssue = time.ParseIso(issued);
    if (!request.dateAndTimeOfIssue) check.Fail("dateAndTimeOfIssue", "2806");
  }
  request.referentDocumentNumber = check.Text(document, "referentDocumentNumber", "referentDocumentNumber", 50);
  if (!request.referentDocumentNumber.empty() && !IsInvoiceNumberForm(request.referentDocumentNumber)) {
    check.Fail("referentDocumentNumber", "2806");
  }
  const std::string referentTime = check.Text(document, "referentDocumentDT", "referentDocumentDT", 40);
  if (!referentTime.empty()) {
    request.referentDocumentDT = time.ParseIso(referentTime);
    if (!request.referentDocumentDT) check.Fail("referentDocumentDT", "2806");
  }
  // A refund and a copy must say which signed invoice they refer to.
  if (request.transactionType == TransactionType::Refund || request.invoiceType == InvoiceType::Copy) {
    if (request.referentDocumentNumber.empty()) check.Fail("referentDocumentNumber", "2800");
    if (referentTime.empty()) check.Fail("referentDocumentDT", "2800");
  }
}

// The member "payment" (absent: no payments); only the first kMaxPayments entries are looked at.
void ReadPayments(Checker& check, const json* payments, InvoiceRequest& request) {
  if (payments != nullptr && !payments->is_array()) {
    check.Fail("payment", "2806");
  } else if (payments != nullptr) {
    if (payments->size() > kMaxPayments) check.Fail("payment", "2808");
    for (std::size_t i = 0; i < payments->size() && i < kMaxPayments; ++i) {
      const json& entry = (*payments)[i];
      const std::string property = "payment[" + std::to_string(i) + "]";
      if (!entry.is_object()) {
        check.Fail(property, "2806");
        continue;
      }
      InvoicePayment payment;
      if (auto type = check.Enumeration(entry, "paymentType", property + ".paymentType", kPaymentTypes)) {
        payment.paymentType = static_cast<PaymentType>(*type);
      }
      if (auto amount = check.Number(entry, "amount", property + ".amount")) {
        if (amount->IsNegative() || !amount->HasAtMostDecimals(2)) check.Fail(property + ".amount", "2805");
        payment.amount = *amount;
      }
      request.payments.push_back(payment);
    }
  }
}

// An item's labels: each must be a label of the tax group in force.
void ReadLabels(Checker& check, const json& entry, const std::string& property, const TaxGroup* groupInForce,
                InvoiceItem& item) {
  const json* labels = Member(entry, "labels");
  if (labels == nullptr || (labels->is_array() && labels->empty())) {
    check.Fail(property + ".labels", "2800");
  } else if (!labels->is_array()) {
    check.Fail(property + ".labels", "2806");
  } else {
    bool known = true;
    for (const json& label : *labels) {
      if (!label.is_string()) {
        known = false;
        continue;
      }
      item.labels.push_back(label.get<std::string>());
      if (groupInForce == nullptr || !TaxRateTable::FindLabel(*groupInForce, item.labels.back())) known = false;
    }
    if (!known) check.Fail(property + ".labels", "2310");
  }
}

// One entry of "items", named `property` ("items[3]") in the errors.
InvoiceItem ReadItem(Checker& check, const json& entry, const std::string& property, const TaxGroup* groupInForce) {
  InvoiceItem item;
  item.gtin = check.Text(entry, "gtin", property + ".gtin", 14);
  if (!item.gtin.empty() && (item.gtin.size() < 8 || item.gtin.find_first_not_of("0123456789") != std::string::npos)) {
    check.Fail(property + ".gtin", "2803");
  }
  item.name = check.Text(entry, "name", property + ".name", 2048);
  if (item.name.empty()) check.Fail(property + ".name", "2800");
  const auto quantity = check.Number(entry, "quantity", property + ".quantity");
  const auto unitPrice = check.Number(entry, "unitPrice", property + ".unitPrice");
  const auto totalAmount = check.Number(entry, "totalAmount", property + ".totalAmount");
  if (quantity && (*quantity <= Decimal() || !quantity->HasAtMostDecimals(3))) check.Fail(property + ".quantity", "2805");
  if (unitPrice && unitPrice->IsNegative()) check.Fail(property + ".unitPrice", "2805");
  if (quantity && unitPrice && totalAmount) {
    // The item total must be the rounded product, as the receipt prints it.
    if (MultiplyRounded(*unitPrice, *quantity, 2) != *totalAmount) check.Fail(property + ".totalAmount", "2805");
    item.quantity = *quantity;
    item.unitPrice = *unitPrice;
    item.totalAmount = *totalAmount;
  }
  ReadLabels(check, entry, property, groupInForce, item);
  return item;
}

// The member "items": at least one, at most kMaxItems.
void ReadItems(Checker& check, const json* items, const TaxGroup* groupInForce, InvoiceRequest& request) {
  if (items == nullptr) {
    check.Fail("items", "2800");
  } else if (!items->is_array()) {
    check.Fail("items", "2806");
  } else if (items->empty()) {
    check.Fail("items", "2807");
  } else if (items->size() > kMaxItems) {
    check.Fail("items", "2808");
  } else {
    for (std::size_t i = 0; i < items->size(); ++i) {
      const json& entry = (*items)[i];
      const std::string property = "items[" + std::to_string(i) + "]";
      if (!entry.is_object()) {
        check.Fail(property, "2806");
        continue;
      }
      request.items.push_back(ReadItem(check, entry, property, groupInForce));
    }
  }
}

}  // namespace

std::string InvoiceTypeName(InvoiceType type) { return kInvoiceTypes[static_cast<int>(type)]; }
std::string TransactionTypeName(TransactionType type) { return kTransactionTypes[static_cast<int>(type)]; }
std::string PaymentTypeName(PaymentType type) { return kPaymentTypes[static_cast<int>(type)]; }

std::string InvoiceCounterExtension(InvoiceType invoiceType, TransactionType transactionType) {
  static const char* const kInvoiceLetters[] = {"П", "Р", "К", "О", "А"};
  return std::string(kInvoiceLetters[static_cast<int>(invoiceType)]) +
         (transactionType == TransactionType::Sale ? "П" : "Р");
}

InvoiceRequestParser::InvoiceRequestParser(const SimTime& time, const TaxGroup* groupInForce)
    : m_time(time), m_groupInForce(groupInForce) {}

ParsedInvoice InvoiceRequestParser::Parse(const std::string& body) const {
  ParsedInvoice outcome;
  Checker check(outcome.errors);
  json document = json::parse(body, nullptr, false);
  if (document.is_discarded() || !document.is_object()) {
    check.Fail("request", "2806");
    return outcome;
  }
  InvoiceRequest request;
  ReadHeader(check, document, m_time, request);

  // The options travel either in an "options" object or as members of the request itself.
  const json* options = Member(document, "options");
  const json& optionSource = options != nullptr && options->is_object() ? *options : document;
  request.omitQRCodeGen = OptionSet(Member(optionSource, "omitQRCodeGen"));
  request.omitTextualRepresentation = OptionSet(Member(optionSource, "omitTextualRepresentation"));

  ReadPayments(check, Member(document, "payment"), request);
  ReadItems(check, Member(document, "items"), m_groupInForce, request);
  if (outcome.errors.empty()) outcome.request = std::move(request);
  return outcome;
}

}  // namespace telvano::pfrsim
