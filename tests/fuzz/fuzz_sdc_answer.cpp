// libFuzzer target: the processor's answer to an invoice, read into a response and turned into the summary
// file and the QR image bytes (bare Base64 or a data URI), and the same bytes taken as a refusal body for the
// error file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/message_table.h"
#include "invoice/invoice_error.h"
#include "invoice/result_files.h"
#include "invoice/sdc_error_text.h"
#include "invoice/sdc_response.h"
#include "invoice/value_list.h"

namespace {

using namespace telvano;

// A broken promise of the reader: stops the run so that libFuzzer keeps the input.
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const invoice::ValueList& ErrorTexts() {
  static const invoice::ValueList texts = [] {
    invoice::ValueList list;
    for (const core::ProcessorErrorText& entry : core::ProcessorErrorTexts()) {
      list.Add(std::string(entry.code), std::string(entry.text));
    }
    return list;
  }();
  return texts;
}

bool EndsWith(const std::string& text, std::string_view end) { return std::string_view(text).ends_with(end); }

void ReadDecoded(std::string_view base64) {
  const std::string bytes = invoice::DecodeBase64(base64);
  Check(bytes.size() <= base64.size() * 3 / 4 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string errorText = invoice::BuildSdcErrorText(input, ErrorTexts());
  Check(std::string_view(errorText).starts_with(invoice::kSdcErrorHeading) && EndsWith(errorText, "\r\n"));
  ReadDecoded(input);

  invoice::TSdcResponse response;
  try {
    response = invoice::ParseSdcResponse(input);
  } catch (const invoice::InvoiceError&) {
    return 0;  // not a JSON object, or no taxItems array of objects
  }
  response.SdcDate();
  for (const bool codes : {false, true}) {
    const std::string basic = invoice::BuildBasicCsv(response, codes);
    Check(std::string_view(basic).starts_with("BLOCK_TAXES\r\n") && EndsWith(basic, "E-O-B\r\n"));
  }
  const std::string image = invoice::QrCodeImageBytes(response.verificationQRCode);
  Check(image.size() <= response.verificationQRCode.size() * 3 / 4 + 1);
  return 0;
}
