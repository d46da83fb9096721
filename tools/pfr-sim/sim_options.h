#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvano::pfrsim {

enum class Mode { Lpfr, Vpfr };
enum class HeaderStyle { Plain, Labelled };

// Everything that makes one simulated processor. The defaults give an LPFR with PIN 1234 on an ephemeral port
// of 127.0.0.1 that answers like the tax authority's development environment.
struct SimOptions {
  Mode mode = Mode::Lpfr;
  std::string host = "127.0.0.1";
  int port = 0;  // 0: any free port (see PfrSimulator::BaseUrl)

  std::string pin = "1234";     // LPFR: the card's PIN
  std::string pac = "ABC123";   // VPFR: the PAC header every request must carry
  bool pinEntered = false;      // LPFR: start as if the PIN had already been accepted
  std::string uid = "YJLQTEQR";  // the secure element: status "uid", "requestedBy"
  std::string vpfrUid = "VPFR0001";  // VPFR: the virtual processor's own UID ("signedBy")
  std::string tin = "RS111911206";
  std::string businessName = "ТЕСТ ПРОДАВНИЦА";
  std::string locationName = "ТЕСТ ПРОДАВНИЦА";
  std::string address = "ХЕРОЈА МИЛАНА ТЕПИЋА 13";
  std::string district = "Београд";
  std::string mrc;  // empty: the device serial number ("00-1002-" + uid; a VPFR "01-1001-" + uid)

  std::string environmentName = "СУФ Развој";  // "СУФ ПРОДУКЦИЈА" switches the URLs to production
  HeaderStyle headerStyle = HeaderStyle::Plain;
  bool categoryTypeAsInt = false;  // status: categoryType 0/1/2 instead of "TaxOnNet"…
  std::string taxRatesFile;        // JSON with "allTaxRates" (or the bare array); empty: built-in production rates
  std::string messages = "Success";

  // VPFR: PEM files of the server certificate and key, and of the CA that must have signed client certificates.
  std::string certFile;
  std::string keyFile;
  std::string clientCaFile;

  std::string stateFile;  // counters and recent answers survive a restart when set
  bool control = false;   // serve /control/… (faults, request log) over HTTP as well
  bool lookupAvailable = true;  // false: GET /api/v3/invoices/{id} answers 503 (see SetLookupAvailable)

  bool omitQrCode = false;   // answer "verificationQRCode": null whatever the request asks
  bool omitJournal = false;  // answer "journal": null whatever the request asks
  std::vector<std::string> omitFields;                           // members left out of every invoice answer
  std::vector<std::pair<std::string, std::string>> extraFields;  // members added: name, raw JSON value

  std::optional<std::chrono::system_clock::time_point> fixedTime;  // the processor's clock stands still
  std::optional<int> utcOffsetMinutes;  // empty: Central European time with summer time
};

// A misbehaviour for the next `count` requests of one path (PfrSimulator::QueueFault).
enum class FaultKind {
  Delay,           // wait delayMs, then answer normally
  Drop,            // close the connection without any answer
  HttpError,       // answer httpStatus with body
  MalformedJson,   // answer 200 with a body that is not JSON
  EmptyBody,       // answer 200 with an empty body
  StatusOverride,  // status: answer with these gsc codes and/or this uid
  PinAnswer,       // PIN: answer body with httpStatus, whatever PIN was sent
  // Answer normally (an invoice is signed and kept for GET /api/v3/invoices/{id}), then lose the answer on
  // the way: the case a client can only recover from by looking the invoice up.
  SignThenDelay,     // hold the answer back for delayMs before sending it
  SignThenDrop,      // send the head (full Content-Length) and half the body, then close the connection
  SignThenTruncate,  // send a complete 200 whose body is only the first half of the answer
  SignThenError,     // answer httpStatus with body instead, as a gateway in front of the processor may
};

struct Fault {
  FaultKind kind = FaultKind::Delay;
  int count = 1;
  int delayMs = 0;
  int httpStatus = 500;
  std::string body;
  std::optional<std::vector<std::string>> gsc;
  std::optional<std::string> uid;

  static Fault Delayed(int milliseconds, int count = 1) { return {FaultKind::Delay, count, milliseconds, 0, {}, {}, {}}; }
  static Fault Dropped(int count = 1) { return {FaultKind::Drop, count, 0, 0, {}, {}, {}}; }
  static Fault Error(int status, std::string body, int count = 1) {
    return {FaultKind::HttpError, count, 0, status, std::move(body), {}, {}};
  }
  static Fault Malformed(int count = 1) { return {FaultKind::MalformedJson, count, 0, 200, {}, {}, {}}; }
  static Fault Empty(int count = 1) { return {FaultKind::EmptyBody, count, 0, 200, {}, {}, {}}; }
  static Fault Status(std::optional<std::vector<std::string>> gsc, std::optional<std::string> uid = {}, int count = 1) {
    return {FaultKind::StatusOverride, count, 0, 200, {}, std::move(gsc), std::move(uid)};
  }
  // body as it goes on the wire: "\"2100\"" for a JSON string, "2100" for a bare code.
  static Fault Pin(std::string body, int status = 200, int count = 1) {
    return {FaultKind::PinAnswer, count, 0, status, std::move(body), {}, {}};
  }
  static Fault SignedThenDelayed(int milliseconds, int count = 1) {
    return {FaultKind::SignThenDelay, count, milliseconds, 0, {}, {}, {}};
  }
  static Fault SignedThenDropped(int count = 1) { return {FaultKind::SignThenDrop, count, 0, 0, {}, {}, {}}; }
  static Fault SignedThenTruncated(int count = 1) {
    return {FaultKind::SignThenTruncate, count, 0, 0, {}, {}, {}};
  }
  static Fault SignedThenError(int status, std::string body, int count = 1) {
    return {FaultKind::SignThenError, count, 0, status, std::move(body), {}, {}};
  }
};

// One request as received: method, path (with query), every header, the body bytes.
struct LoggedRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header of that name (without regard to case); nullopt when not sent.
  std::optional<std::string> Header(const std::string& name) const;
};

}  // namespace telvano::pfrsim
