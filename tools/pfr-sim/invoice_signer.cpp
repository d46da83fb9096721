#include "invoice_signer.h"

#include "crypto_text.h"
#include "journal_writer.h"
#include "qr_gif.h"
#include "tax_calculator.h"
#include "verification_url.h"

namespace telvano::pfrsim {

namespace {

using nlohmann::ordered_json;

Decimal TotalOf(const std::vector<InvoiceItem>& items) {
  Decimal total;
  for (const InvoiceItem& item : items) total += item.totalAmount;
  return total;
}

// What the verification URL encodes; the encrypted data and the signature are stand-ins, the same for the same
// invoice number and time.
VerificationFacts FactsOf(const InvoiceRequest& request, const SigningContext& context,
                          const std::string& invoiceNumber, const std::string& sdcText, const Decimal& total) {
  VerificationFacts facts;
  facts.requestedBy = context.requestedBy;
  facts.signedBy = context.signedBy;
  facts.totalCounter = context.totalCounter;
  facts.transactionTypeCounter = context.transactionTypeCounter;
  facts.totalAmountTimes10000 = total.ScaledTo(4);
  facts.sdcMilliseconds = MillisecondsSinceEpoch(context.sdcDateTime);
  facts.invoiceType = static_cast<int>(request.invoiceType);
  facts.transactionType = static_cast<int>(request.transactionType);
  facts.buyerId = request.buyerId;
  facts.encryptedInternalData = PseudoRandomBytes("internal " + invoiceNumber + sdcText, 256);
  facts.signature = PseudoRandomBytes("signature " + invoiceNumber + sdcText, 256);
  return facts;
}

// The answer's "taxItems", one per label of the invoice.
ordered_json TaxItemsJson(const std::vector<TaxAmount>& taxes) {
  ordered_json taxItems = ordered_json::array();
  for (const TaxAmount& tax : taxes) {
    taxItems.push_back({{"categoryType", tax.categoryType},
                        {"label", tax.label},
                        {"amount", tax.amount.ToDouble()},
                        {"rate", tax.rate.ToDouble()},
                        {"categoryName", tax.categoryName}});
  }
  return taxItems;
}

}  // namespace

InvoiceSigner::InvoiceSigner(const SimOptions& options, const SimTime& time) : m_options(options), m_time(time) {}

ordered_json InvoiceSigner::Sign(const InvoiceRequest& request, const SigningContext& context) const {
  const std::string extension = InvoiceCounterExtension(request.invoiceType, request.transactionType);
  const std::string invoiceNumber =
      context.requestedBy + "-" + context.signedBy + "-" + std::to_string(context.totalCounter);
  const std::string invoiceCounter =
      std::to_string(context.transactionTypeCounter) + "/" + std::to_string(context.totalCounter) + extension;
  const std::string sdcText = m_time.IsoWithOffset(context.sdcDateTime);
  const Decimal total = TotalOf(request.items);
  const auto taxes = ComputeTaxes(request.items, *context.group);

  const VerificationFacts facts = FactsOf(request, context, invoiceNumber, sdcText, total);
  const std::string verificationUrl = VerificationUrl(context.verificationBaseUrl, facts);

  ordered_json answer;
  answer["requestedBy"] = context.requestedBy;
  answer["sdcDateTime"] = sdcText;
  answer["invoiceCounter"] = invoiceCounter;
  answer["invoiceCounterExtension"] = extension;
  answer["invoiceNumber"] = invoiceNumber;
  answer["taxItems"] = TaxItemsJson(taxes);
  answer["verificationUrl"] = verificationUrl;
  if (request.omitQRCodeGen || m_options.omitQrCode) {
    answer["verificationQRCode"] = nullptr;
  } else {
    answer["verificationQRCode"] = Base64Encode(QrCodeGif(verificationUrl));
  }
  if (request.omitTextualRepresentation || m_options.omitJournal) {
    answer["journal"] = nullptr;
  } else {
    const JournalWriter writer(m_options, m_time);
    answer["journal"] = writer.Write(request, {context.sdcDateTime, invoiceNumber, invoiceCounter, total, taxes});
  }
  answer["messages"] = m_options.messages;
  answer["signedBy"] = context.signedBy;
  answer["encryptedInternalData"] = Base64Encode(facts.encryptedInternalData);
  answer["signature"] = Base64Encode(facts.signature);
  answer["totalCounter"] = context.totalCounter;
  answer["transactionTypeCounter"] = context.transactionTypeCounter;
  answer["totalAmount"] = total.ToDouble();
  answer["taxGroupRevision"] = context.group->groupId;
  answer["businessName"] = m_options.businessName;
  answer["tin"] = m_options.tin;
  answer["locationName"] = m_options.locationName;
  answer["address"] = m_options.address;
  answer["district"] = m_options.district;
  answer["mrc"] = m_options.mrc;

  for (const std::string& name : m_options.omitFields) answer.erase(name);
  for (const auto& [name, rawValue] : m_options.extraFields) {
    answer[name] = ordered_json::parse(rawValue, nullptr, false);
    if (answer[name].is_discarded()) answer[name] = rawValue;
  }
  return answer;
}

}  // namespace telvano::pfrsim
