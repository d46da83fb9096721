#pragma once

#include <string>

#include "invoice/invoice_error.h"
#include "invoice/value_list.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// What an answer, or the lack of one, says about an invoice sent to the processor.
enum class AnswerKind {
  Signed,     // a readable signed answer: `body` holds it
  Refused,    // the processor answered and did not sign: `failureText` tells the POS why
  NotSent,    // the request never reached the processor: `failureText` tells the POS why
  NotSigned,  // the processor says that nothing was signed under the request id
  Unknown,    // the processor may have signed: only asking it again can tell (`failureText` says what happened)
};

struct InvoiceAnswer {
  AnswerKind kind = AnswerKind::Unknown;
  std::string body;         // Signed: the answer as received; Unknown after a 200: the unreadable body
  std::string failureText;  // the text the POS gets should the invoice turn out not to be signed
  bool processorAnswered = false;  // a lookup got an HTTP answer (the processor is reachable)
};

// True when a status other than 200 is the processor's own refusal: a 4xx (but 408) whose body is the
// processor's JSON error (an object with "message" or "modelState", or a bare code string). A 5xx, or a
// body of something else (a proxy's page), may stand for a processor that signed.
bool IsProcessorRefusal(int responseCode, const std::string& body);

// The answer to POST /api/v3/invoices, as the transport left it. A 200 whose body is too large, not JSON or
// without taxItems is Unknown: the processor may have signed although the answer cannot be used; so is any
// other status that is not the processor's own refusal.
InvoiceAnswer ClassifyInvoiceAnswer(const sdc::TFormHTTP& http, const ValueList& processorErrorTexts);

// Asks `processor` (the one the invoice was sent to) for the invoice signed under `requestId` (GET /api/v3/invoices/<requestId>): Signed with
// the answer, NotSigned for 404, Unknown for anything else (no reply, another status, an unusable body).
// The transport's result fields are given back as they were before the lookup, so that a caller still
// reads the outcome of the invoice request itself.
InvoiceAnswer LookUpSignedInvoice(sdc::TFormHTTP& http, const sdc::ProcessorTarget& processor,
                                  const std::string& requestId);

}  // namespace telvano::invoice
