#include "invoice/invoice_answer.h"

#include <nlohmann/json.hpp>

#include "invoice/sdc_error_text.h"
#include "invoice/sdc_response.h"
#include "sdc/processor_json.h"

namespace telvano::invoice {

namespace {

// A signed answer must be complete enough to store; anything less is no proof either way.
bool IsUsableAnswer(const std::string& body, std::string* why) {
  try {
    ParseSdcResponse(body);
    return true;
  } catch (const std::exception& error) {
    if (why) *why = error.what();
    return false;
  }
}

// The four result fields of the transport, kept across a lookup.
struct TransportResult {
  int responseCode;
  std::string responseBody;
  std::string errorText;
  std::string requestId;
  bool mayHaveArrived;

  explicit TransportResult(const sdc::TFormHTTP& http)
      : responseCode(http.ResponseCode),
        responseBody(http.ResponseBody),
        errorText(http.ErrorText),
        requestId(http.RequestId),
        mayHaveArrived(http.RequestMayHaveArrived) {}

  void RestoreInto(sdc::TFormHTTP& http) {
    http.ResponseCode = responseCode;
    http.ResponseBody = std::move(responseBody);
    http.ErrorText = std::move(errorText);
    http.RequestId = std::move(requestId);
    http.RequestMayHaveArrived = mayHaveArrived;
  }
};

}  // namespace

bool IsProcessorRefusal(int responseCode, const std::string& body) {
  if (responseCode < 400 || responseCode > 499 || responseCode == 408) return false;
  const nlohmann::json json = sdc::ParseProcessorJson(body);
  if (json.is_string()) return true;  // a bare code such as "2100"
  return json.is_object() && (json.contains("modelState") || json.contains("message"));
}

InvoiceAnswer ClassifyInvoiceAnswer(const sdc::TFormHTTP& http, const ValueList& processorErrorTexts) {
  InvoiceAnswer answer;
  if (http.ResponseCode == 200) {
    answer.body = http.ResponseBody;
    if (http.ResponseBody.size() > sdc::kMaxResponseBytes) {
      answer.failureText = BuildNoReplyText(sdc::kResponseTooLargeText);
      answer.body.clear();
      return answer;
    }
    if (!IsUsableAnswer(http.ResponseBody, &answer.failureText)) return answer;
    answer.kind = AnswerKind::Signed;
    return answer;
  }
  if (http.ResponseCode >= 1) {
    // Something between TELVANO and the processor (a proxy, a gateway) may answer for a processor that has
    // signed: only the processor's own refusal proves that nothing was signed.
    answer.kind = IsProcessorRefusal(http.ResponseCode, http.ResponseBody) ? AnswerKind::Refused : AnswerKind::Unknown;
    answer.failureText = BuildSdcErrorText(http.ResponseBody, processorErrorTexts);
    return answer;
  }
  answer.kind = http.RequestMayHaveArrived ? AnswerKind::Unknown : AnswerKind::NotSent;
  answer.failureText = BuildNoReplyText(http.ErrorText);
  return answer;
}

InvoiceAnswer LookUpSignedInvoice(sdc::TFormHTTP& http, const sdc::ProcessorTarget& processor,
                                  const std::string& requestId) {
  TransportResult before(http);
  InvoiceAnswer answer;
  http.CallTarget(processor, sdc::kOpInvoiceLookup, "", requestId);
  answer.processorAnswered = http.ResponseCode >= 1;
  if (http.ResponseCode == 200 && http.ResponseBody.size() <= sdc::kMaxResponseBytes &&
      IsUsableAnswer(http.ResponseBody, nullptr)) {
    answer.kind = AnswerKind::Signed;
    answer.body = http.ResponseBody;
  } else if (http.ResponseCode == 404) {
    answer.kind = AnswerKind::NotSigned;
  } else {
    answer.kind = AnswerKind::Unknown;
    answer.failureText = http.ResponseCode < 1 ? BuildNoReplyText(http.ErrorText)
                                               : "HTTP " + std::to_string(http.ResponseCode);
  }
  before.RestoreInto(http);
  return answer;
}

}  // namespace telvano::invoice
