#include "invoice/response_processor.h"


#include "core/text_utils.h"
#include "db/settings.h"
#include "platform/whole_file.h"
#include "sdc/tax_labels.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

using db::Param;
using db::SqlValue;

ResponseProcessor::ResponseProcessor(const core::Configuration& configuration, db::Database& database)
    : m_configuration(configuration), m_database(database) {}

std::string ResponseProcessor::ReadSavedAnswerText(const std::string& uuid) const {
  return platform::ReadRegularFile(m_configuration.ArchiveDir + "/" + uuid + "_resp.json", sdc::kMaxResponseBytes + 2);
}

void ResponseProcessor::StoreAnswer(const std::string& uuid, const TSdcResponse& response) {
  UpdateMrc(response.mrc);
  std::string requestNumber;
  std::string itType;
  if (const auto row = m_database.QueryFirst(
          "select invoice_number, invoice_type||transaction_type itType from inv_request where inv_uuid=?",
          {Param(uuid)})) {
    requestNumber = (*row)["invoice_number"].AsString();
    itType = (*row)["itType"].AsString();
  }
  StoreResponse(uuid, response, requestNumber, itType);
}

void ResponseProcessor::StoreResponse(const std::string& uuid, const TSdcResponse& r,
                                      const std::string& requestNumber, const std::string& itType) {
  const std::string sdcDate = r.SdcDate();
  m_database.Execute(
      "insert into inv_response(  inv_uuid, requested_by, signed_by, sdc_date_time, invoice_counter, "
      "invoice_counter_extension, invoice_number, verification_url, total_counter, transaction_type_counter, "
      "total_amount, business_name, location_name, address, tin, district, tax_group_revision, mrc, messages, "
      "sdc_date, esir_version, it_type ) values( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )",
      {Param(uuid), SqlValue(r.requestedBy), SqlValue(r.signedBy), SqlValue(r.sdcDateTime),
       SqlValue(r.invoiceCounter), SqlValue(r.invoiceCounterExtension), SqlValue(r.invoiceNumber),
       SqlValue(r.verificationUrl), SqlValue(RenderInteger(r.totalCounter)),
       SqlValue(RenderInteger(r.transactionTypeCounter)), SqlValue(RenderDecimal(r.totalAmount)),
       SqlValue(core::Utf8Prefix(r.businessName, 50)), SqlValue(core::Utf8Prefix(r.locationName, 50)),
       SqlValue(core::Utf8Prefix(r.address, 50)), SqlValue(r.tin), SqlValue(core::Utf8Prefix(r.district, 50)),
       SqlValue(RenderInteger(r.taxGroupRevision)), SqlValue(r.mrc), SqlValue(r.messages), SqlValue(sdcDate),
       Param(requestNumber), Param(itType)});

  for (const TSdcTaxItem& item : r.taxItems) {
    m_database.Execute(
        "insert into inv_tax_items(  inv_uuid, group_id, label, rate, category_type, category_name, amount, "
        "sdc_date_time, invoice_number, sdc_date, requested_by, signed_by, it_type, label_cyr ) "
        "values( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )",
        {Param(uuid), SqlValue(RenderInteger(r.taxGroupRevision)), SqlValue(item.label),
         SqlValue(RenderDecimal(item.rate)), SqlValue(RenderInteger(item.categoryType)), SqlValue(item.categoryName),
         SqlValue(RenderDecimal(item.amount)), SqlValue(r.sdcDateTime), SqlValue(r.invoiceNumber), SqlValue(sdcDate),
         SqlValue(r.requestedBy), SqlValue(r.signedBy), Param(itType),
         SqlValue(sdc::TaxLabelLettersToCodes(item.label))});
  }

  m_database.Execute("update inv_request   set sdc_date=? where inv_uuid=?", {SqlValue(sdcDate), Param(uuid)});
  const std::vector<Param> stamp = {SqlValue(r.sdcDateTime), SqlValue(r.invoiceNumber), SqlValue(sdcDate),
                                    SqlValue(r.requestedBy),  SqlValue(r.signedBy),      Param(uuid)};
  m_database.Execute(
      "update inv_sale_items   set sdc_date_time=?,       invoice_number=?,       sdc_date=?,       "
      "requested_by=?,       signed_by=? where inv_uuid=?",
      stamp);
  m_database.Execute(
      "update inv_pay_items   set sdc_date_time=?,       invoice_number=?,       sdc_date=?,       "
      "requested_by=?,       signed_by=? where inv_uuid=?",
      stamp);
}

void ResponseProcessor::UpdateMrc(const std::string& mrc) {
  if (db::ReadSetting(m_database, "SDC_MRC") != mrc) db::WriteSetting(m_database, "SDC_MRC", mrc);
}


}  // namespace telvano::invoice
