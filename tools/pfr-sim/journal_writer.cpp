#include "journal_writer.h"

#include <algorithm>

#include "text_layout.h"

namespace telvano::pfrsim {

namespace {

constexpr std::size_t kWidth = 40;
const std::string kFiscalTitle = "============ ФИСКАЛНИ РАЧУН ============";
const std::string kNotFiscalTitle = "======== ОВО НИЈЕ ФИСКАЛНИ РАЧУН =======";
const std::string kFiscalEnd = "======== КРАЈ ФИСКАЛНОГ РАЧУНА =========";
const std::string kDoubleRule(kWidth, '=');
const std::string kSingleRule(kWidth, '-');

bool IsFiscal(InvoiceType type) { return type == InvoiceType::Normal || type == InvoiceType::Advance; }

std::string TypeTitle(InvoiceType invoiceType, TransactionType transactionType) {
  static const char* const kKinds[] = {"ПРОМЕТ", "ПРЕДРАЧУН", "КОПИЈА", "ОБУКА", "АВАНС"};
  return std::string(kKinds[static_cast<int>(invoiceType)]) + " " +
         (transactionType == TransactionType::Sale ? "ПРОДАЈА" : "РЕФУНДАЦИЈА");
}

std::string PaymentLabel(PaymentType type) {
  switch (type) {
    case PaymentType::Cash: return "Готовина:";
    case PaymentType::Card: return "Платна картица:";
    case PaymentType::Check: return "Чек:";
    case PaymentType::WireTransfer: return "Пренос на рачун:";
    case PaymentType::Voucher: return "Ваучер:";
    case PaymentType::MobileMoney: return "Инстант плаћање:";
    case PaymentType::Other: break;
  }
  return "Друго безготовинско плаћање:";
}

std::string JoinLabels(const std::vector<std::string>& labels) {
  std::string joined;
  for (const std::string& label : labels) joined += (joined.empty() ? "" : ", ") + label;
  return joined;
}

}  // namespace

JournalWriter::JournalWriter(const SimOptions& options, const SimTime& time) : m_options(options), m_time(time) {}

std::string JournalWriter::Write(const InvoiceRequest& request, const JournalFacts& facts) const {
  const bool fiscal = IsFiscal(request.invoiceType);
  const bool refund = request.transactionType == TransactionType::Refund;
  std::vector<std::string> lines;
  lines.push_back(fiscal ? kFiscalTitle : kNotFiscalTitle);
  AddHeader(lines);
  auto optionalLine = [&lines](const std::string& label, const std::string& value) {
    if (!value.empty()) lines.push_back(LabelValueLine(label, value));
  };
  optionalLine("Касир:", request.cashier);
  optionalLine("ИД купца:", request.buyerId);
  optionalLine("Опционо поље купца:", request.buyerCostCenterId);
  optionalLine("ЕСИР број:", request.invoiceNumber);
  if (request.dateAndTimeOfIssue) optionalLine("ЕСИР време:", m_time.ReceiptText(*request.dateAndTimeOfIssue));
  optionalLine("Реф. број:", request.referentDocumentNumber);
  if (request.referentDocumentDT) optionalLine("Реф. време:", m_time.ReceiptText(*request.referentDocumentDT));
  lines.push_back(Centred(TypeTitle(request.invoiceType, request.transactionType), '-'));
  lines.push_back("Артикли");
  lines.push_back(kDoubleRule);
  lines.push_back("Назив   Цена         Кол.         Укупно");
  AddItems(lines, request);
  lines.push_back(kSingleRule);
  lines.push_back(LabelValueLine(refund ? "Укупна рефундација:" : "Укупан износ:", facts.totalAmount.ToReceiptText()));
  for (const InvoicePayment& payment : request.payments) {
    lines.push_back(LabelValueLine(PaymentLabel(payment.paymentType), payment.amount.ToReceiptText()));
  }
  lines.push_back(kDoubleRule);
  if (!fiscal) {
    lines.push_back(Centred("ОВО НИЈЕ ФИСКАЛНИ РАЧУН", ' '));
    lines.push_back(kDoubleRule);
  }
  AddTaxTable(lines, facts.taxes);
  lines.push_back(kDoubleRule);
  lines.push_back(LabelValueLine("ПФР време:", m_time.ReceiptText(facts.sdcDateTime)));
  lines.push_back(LabelValueLine("ПФР број рачуна:", facts.invoiceNumber));
  lines.push_back(LabelValueLine("Бројач рачуна:", facts.invoiceCounter));
  lines.push_back(kDoubleRule);
  lines.push_back(fiscal ? kFiscalEnd : kNotFiscalTitle);

  std::string journal;
  for (const std::string& line : lines) journal += line + "\r\n";
  return journal;
}

void JournalWriter::AddHeader(std::vector<std::string>& lines) const {
  if (m_options.headerStyle == HeaderStyle::Labelled) {
    lines.push_back(LabelValueLine("ПИБ:", m_options.tin));
    lines.push_back(LabelValueLine("Предузеће:", m_options.businessName));
    lines.push_back(LabelValueLine("Место продаје:", m_options.locationName));
    lines.push_back(LabelValueLine("Адреса:", m_options.address));
    lines.push_back(LabelValueLine("Општина:", m_options.district));
    return;
  }
  lines.push_back(m_options.tin);
  lines.push_back(m_options.businessName);
  lines.push_back(m_options.locationName);
  lines.push_back(m_options.address);
  lines.push_back(m_options.district);
}

void JournalWriter::AddItems(std::vector<std::string>& lines, const InvoiceRequest& request) {
  const bool refund = request.transactionType == TransactionType::Refund;
  for (const InvoiceItem& item : request.items) {
    // The name with its labels, wrapped at 40; the last piece is filled to the full width and one blank more,
    // as the processor prints it.
    const auto pieces = SplitIntoColumns(item.name + " (" + JoinLabels(item.labels) + ")", kWidth);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) lines.push_back(pieces[i]);
    lines.push_back(PadRight(pieces.back(), kWidth) + " ");
    const Decimal total = refund ? item.totalAmount.Negated() : item.totalAmount;
    lines.push_back(PadLeft(item.unitPrice.ToReceiptText(), 13) + PadLeft(item.quantity.ToReceiptQuantity(), 11) +
                    PadLeft(total.ToReceiptText(), 16));
  }
}

void JournalWriter::AddTaxTable(std::vector<std::string>& lines, const std::vector<TaxAmount>& taxes) {
  lines.push_back("Ознака       Име      Стопа        Порез");
  Decimal totalTax;
  for (const TaxAmount& tax : taxes) {
    const std::size_t labelWidth = CharacterCount(tax.label);
    const std::size_t nameWidth = std::max(labelWidth < 17 ? 17 - labelWidth : 0, CharacterCount(tax.categoryName) + 1);
    lines.push_back(tax.label + PadLeft(tax.categoryName, nameWidth) + PadLeft(tax.rate.ToReceiptText() + "%", 9) +
                    PadLeft(tax.amount.ToReceiptText(), 14));
    totalTax += tax.amount;
  }
  lines.push_back(kSingleRule);
  lines.push_back(LabelValueLine("Укупан износ пореза:", totalTax.ToReceiptText()));
}

}  // namespace telvano::pfrsim
