#include "sim_server.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "invoice_request.h"
#include "invoice_signer.h"

namespace telvano::pfrsim {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Codes that stop an LPFR from signing, in the order a processor reports them.
const std::vector<std::string> kBlockingCodes = {"1300", "2110", "2210", "2220", "2230", "2400"};

bool IsProduction(const SimOptions& options) { return options.environmentName == "СУФ ПРОДУКЦИЈА"; }

std::string Host(const SimOptions& options) {
  return IsProduction(options) ? "suf.purs.gov.rs" : "sandbox.suf.purs.gov.rs";
}

}  // namespace

std::string ModelStateBody(const std::vector<ModelError>& errors, const std::string& message) {
  ordered_json modelState = ordered_json::array();
  for (const ModelError& error : errors) {
    auto entry = std::find_if(modelState.begin(), modelState.end(),
                              [&error](const ordered_json& e) { return e["property"] == error.property; });
    if (entry == modelState.end()) {
      modelState.push_back({{"property", error.property}, {"errors", ordered_json::array()}});
      entry = modelState.end() - 1;
    }
    (*entry)["errors"].push_back(error.code);
  }
  ordered_json body;
  body["message"] = message;
  body["modelState"] = modelState;
  return body.dump();
}

std::string MessageBody(const std::string& message) { return ordered_json{{"message", message}}.dump(); }

std::string PfrSimulator::Impl::VerificationBase() const { return "https://" + Host(options) + "/v/?vl="; }

std::vector<std::string> PfrSimulator::Impl::CurrentGsc() const {
  if (gscOverride) return *gscOverride;
  if (Locked()) return {"2110", "1500"};
  if (!pinEntered) return {"1500", "0210"};
  return {"0000", "0210"};
}

std::string PfrSimulator::Impl::StatusBody(const std::optional<Fault>& fault) const {
  std::lock_guard lock(mutex);
  const TimePoint now = Now();
  const TaxGroup* inForce = taxes.InForce(now);
  const ordered_json current =
      inForce != nullptr ? TaxRateTable::GroupJson(*inForce, options.categoryTypeAsInt) : ordered_json(nullptr);
  const bool overridden = fault && fault->kind == FaultKind::StatusOverride;
  std::vector<std::string> gsc = CurrentGsc();
  if (overridden && fault->gsc) gsc = *fault->gsc;
  const std::string uid = overridden && fault->uid ? *fault->uid : options.uid;
  ordered_json status;
  if (options.mode == Mode::Lpfr) {
    status["isPinRequired"] = !pinEntered;
    status["auditRequired"] = false;
    status["sdcDateTime"] = time.IsoWithOffset(now);
    status["lastInvoiceNumber"] = state.LastInvoiceNumber();
    status["protocolVersion"] = "2.0";
    status["secureElementVersion"] = "2.0";
    status["hardwareVersion"] = "1.0";
    status["softwareVersion"] = "1.0";
    status["deviceSerialNumber"] = options.mrc;
    status["make"] = "TELVANO";
    status["model"] = "pfr-sim LPFR";
    status["mssc"] = ordered_json::array();
    status["gsc"] = gsc;
  } else {
    status["sdcDateTime"] = time.IsoWithOffset(now);
    if (gscOverride || (overridden && fault->gsc)) status["gsc"] = gsc;
  }
  status["supportedLanguages"] = kSupportedLanguages;
  status["uid"] = uid;
  status["taxCoreApi"] = "https://api." + Host(options) + "/";
  status["currentTaxRates"] = current;
  status["allTaxRates"] = taxes.AllJson(options.categoryTypeAsInt);
  return status.dump();
}

std::string PfrSimulator::Impl::EnvironmentBody() const {
  const std::string host = Host(options);
  ordered_json environment;
  environment["organizationName"] = "Министарство финансија - Пореска управа - Централа";
  environment["serverTimeZone"] = "Central Europe Standard Time";
  environment["street"] = "Саве Машковића 3-5";
  environment["city"] = "Београд";
  environment["country"] = "RS";
  environment["endpoints"] = {{"taxpayerAdminPortal", "https://tap." + host + ":443/"},
                              {"taxCoreApi", "https://api." + host + ":443/"},
                              {"vsdc", "https://vsdc." + host + ":443/"},
                              {"root", "https://" + host + ":443/v/?vl="}};
  environment["environmentName"] = options.environmentName;
  environment["logo"] = "https://" + host + ":443/DownloadContent/TAlogo.png";
  environment["ntpServer"] = "http://0.pool.ntp.org:80/";
  environment["supportedLanguages"] = kSupportedLanguages;
  return environment.dump();
}

void PfrSimulator::Impl::AnswerPin(std::string pin, httplib::Response& response, const std::optional<Fault>& fault) {
  if (fault && fault->kind == FaultKind::PinAnswer) {
    Reply(response, fault->httpStatus, fault->body);
    return;
  }
  // The body is the four digits; a client that quotes them is forgiven.
  pin.erase(std::remove_if(pin.begin(), pin.end(), [](char c) { return c == '"' || c == ' ' || c == '\r' || c == '\n'; }),
            pin.end());
  std::lock_guard lock(mutex);
  std::string code;
  if (Locked()) {
    code = "2110";
  } else if (pin.size() != 4 || pin.find_first_not_of("0123456789") != std::string::npos) {
    Reply(response, 400, "\"2806\"");
    return;
  } else if (pin == options.pin) {
    pinEntered = true;
    wrongPins = 0;
    code = "0100";
  } else {
    ++wrongPins;
    code = "2100";
  }
  Reply(response, 200, "\"" + code + "\"");
}

std::string PfrSimulator::Impl::RefusalCode() const {
  if (options.mode == Mode::Lpfr && !pinEntered) return "1500";
  if (gscOverride) {
    for (const std::string& code : kBlockingCodes) {
      if (std::find(gscOverride->begin(), gscOverride->end(), code) != gscOverride->end()) return code;
    }
  }
  return {};
}

void PfrSimulator::Impl::AnswerInvoice(const httplib::Request& request, httplib::Response& response) {
  TimePoint now;
  {
    std::lock_guard lock(mutex);
    const std::string refusal = RefusalCode();
    if (!refusal.empty()) {
      Reply(response, 400, ModelStateBody({{"", refusal}}));
      return;
    }
    now = Now();
  }
  const TaxGroup* inForce = taxes.InForce(now);
  const ParsedInvoice parsed = InvoiceRequestParser(time, inForce).Parse(request.body);
  if (!parsed.request) {
    Reply(response, 400, ModelStateBody(parsed.errors));
    return;
  }
  const InvoiceRequest& invoice = *parsed.request;
  std::lock_guard lock(mutex);
  const auto [total, perType] = state.Count(InvoiceCounterExtension(invoice.invoiceType, invoice.transactionType));
  SigningContext context;
  context.sdcDateTime = now;
  context.totalCounter = total;
  context.transactionTypeCounter = perType;
  context.group = inForce;
  context.requestedBy = options.uid;
  context.signedBy = options.mode == Mode::Lpfr ? options.uid : options.vpfrUid;
  context.verificationBaseUrl = VerificationBase();
  const ordered_json answer = InvoiceSigner(options, time).Sign(invoice, context);
  const std::string body = answer.dump(-1, ' ', false, json::error_handler_t::replace);
  state.Remember(answer.value("invoiceNumber", std::string()), request.get_header_value("RequestId"), body);
  state.Save();
  Reply(response, 200, body);
}

}  // namespace telvano::pfrsim
