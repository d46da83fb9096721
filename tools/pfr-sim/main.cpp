// pfr-sim: a local (LPFR) or virtual (VPFR) fiscal processor for the demo, tests and POS developers.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>

#include "pfr_simulator.h"

namespace {

using telvano::pfrsim::HeaderStyle;
using telvano::pfrsim::Mode;
using telvano::pfrsim::PfrSimulator;
using telvano::pfrsim::SimOptions;

constexpr const char* kUsage = R"(Usage: pfr-sim --mode lpfr|vpfr [--listen 127.0.0.1:PORT] [options]

Serves the fiscal processor's /api/v3 interface. The first line printed is the base URL; SIGINT or SIGTERM ends
the program cleanly.

  --mode lpfr|vpfr          LPFR: plain HTTP with a PIN. VPFR: HTTPS (TLS 1.2) with a client certificate and a
                            PAC header (default lpfr)
  --listen HOST:PORT        address to serve on; port 0 picks a free port (default 127.0.0.1:0)
  --pin CODE                LPFR: the card's 4-digit PIN (default 1234)
  --pin-entered             LPFR: start as if the PIN had been accepted
  --pac CODE                VPFR: the PAC every request must carry (default ABC123)
  --uid UID                 the secure element's UID, 8 characters (default YJLQTEQR)
  --vpfr-uid UID            VPFR: the virtual processor's own UID, the answers' signedBy (default VPFR0001)
  --tin TIN                 taxpayer's tax number (default RS111911206)
  --business-name TEXT      taxpayer's name
  --location-name TEXT      business unit (point of sale) name
  --address TEXT            business unit address
  --district TEXT           business unit district (municipality)
  --mrc TEXT                the answers' mrc (default: device serial number 00-1002-UID, VPFR 01-1001-UID)
  --environment NAME        environmentName (default "СУФ Развој"; "СУФ ПРОДУКЦИЈА" uses production URLs)
  --header-style plain|labelled
                            receipt header: plain values (default) or ПИБ:/Предузеће:/Место продаје:/Адреса:/
                            Општина: labels with values right-aligned
  --category-type text|int  status categoryType as "TaxOnNet" (default) or as 0/1/2
  --tax-rates FILE          tax-rate groups: JSON with "allTaxRates" (or the bare array); default built-in
                            production groups (Ђ 20 %, Е 10 %, А 0 %, Г 0 %; a 2099 group with Ђ 22 %, Ж 19 %)
  --messages TEXT           the answers' messages (default Success)
  --cert FILE --key FILE    VPFR: server certificate and key (PEM)
  --client-ca FILE          VPFR: CA certificate (PEM) that must have signed client certificates
  --state FILE              keep counters and recent answers in FILE across restarts
  --control                 serve /control/faults, /control/requests, /control/gsc, /control/lookup,
                            /control/state
  --no-lookup               GET /api/v3/invoices/{requestId} answers 503 (until PUT /control/lookup true)
  --omit-qr                 always answer verificationQRCode null
  --omit-journal            always answer journal null
  --omit-field NAME         leave NAME out of every invoice answer (repeatable)
  --extra-field NAME=JSON   add NAME with the raw JSON value to every invoice answer (repeatable)
  --utc-offset MINUTES      fixed UTC offset of the processor's clock (default Central European time)
  --help                    this text
)";

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "pfr-sim: " << message << "\n\n" << kUsage;
  std::exit(2);
}

int ToInt(const std::string& text, const std::string& option) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) Fail(option + " needs a number, not " + text);
  return value;
}

using Setter = std::function<void(const std::string&)>;

// The options followed by a value, each with what it sets in `options`.
std::map<std::string, Setter> ValueSetters(SimOptions& options) {
  return {
      {"--mode",
       [&](const std::string& v) {
         if (v != "lpfr" && v != "vpfr") Fail("--mode is lpfr or vpfr");
         options.mode = v == "lpfr" ? Mode::Lpfr : Mode::Vpfr;
       }},
      {"--listen",
       [&](const std::string& v) {
         const auto colon = v.rfind(':');
         if (colon == std::string::npos) Fail("--listen needs HOST:PORT");
         options.host = v.substr(0, colon);
         options.port = ToInt(v.substr(colon + 1), "--listen");
       }},
      {"--pin", [&](const std::string& v) { options.pin = v; }},
      {"--pac", [&](const std::string& v) { options.pac = v; }},
      {"--uid", [&](const std::string& v) { options.uid = v; }},
      {"--vpfr-uid", [&](const std::string& v) { options.vpfrUid = v; }},
      {"--tin", [&](const std::string& v) { options.tin = v; }},
      {"--business-name", [&](const std::string& v) { options.businessName = v; }},
      {"--location-name", [&](const std::string& v) { options.locationName = v; }},
      {"--address", [&](const std::string& v) { options.address = v; }},
      {"--district", [&](const std::string& v) { options.district = v; }},
      {"--mrc", [&](const std::string& v) { options.mrc = v; }},
      {"--environment", [&](const std::string& v) { options.environmentName = v; }},
      {"--header-style",
       [&](const std::string& v) {
         if (v != "plain" && v != "labelled") Fail("--header-style is plain or labelled");
         options.headerStyle = v == "plain" ? HeaderStyle::Plain : HeaderStyle::Labelled;
       }},
      {"--category-type",
       [&](const std::string& v) {
         if (v != "text" && v != "int") Fail("--category-type is text or int");
         options.categoryTypeAsInt = v == "int";
       }},
      {"--tax-rates", [&](const std::string& v) { options.taxRatesFile = v; }},
      {"--messages", [&](const std::string& v) { options.messages = v; }},
      {"--cert", [&](const std::string& v) { options.certFile = v; }},
      {"--key", [&](const std::string& v) { options.keyFile = v; }},
      {"--client-ca", [&](const std::string& v) { options.clientCaFile = v; }},
      {"--state", [&](const std::string& v) { options.stateFile = v; }},
      {"--omit-field", [&](const std::string& v) { options.omitFields.push_back(v); }},
      {"--extra-field",
       [&](const std::string& v) {
         const auto equals = v.find('=');
         if (equals == std::string::npos) Fail("--extra-field needs NAME=JSON");
         options.extraFields.emplace_back(v.substr(0, equals), v.substr(equals + 1));
       }},
      {"--utc-offset", [&](const std::string& v) { options.utcOffsetMinutes = ToInt(v, "--utc-offset"); }},
  };
}

// The options without a value.
std::map<std::string, std::function<void()>> FlagSetters(SimOptions& options) {
  return {
      {"--pin-entered", [&] { options.pinEntered = true; }},
      {"--control", [&] { options.control = true; }},
      {"--no-lookup", [&] { options.lookupAvailable = false; }},
      {"--omit-qr", [&] { options.omitQrCode = true; }},
      {"--omit-journal", [&] { options.omitJournal = true; }},
  };
}

SimOptions ParseArguments(int argc, char** argv) {
  SimOptions options;
  const std::map<std::string, Setter> withValue = ValueSetters(options);
  const std::map<std::string, std::function<void()>> flags = FlagSetters(options);
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (const auto flag = flags.find(argument); flag != flags.end()) {
      flag->second();
    } else if (const auto setter = withValue.find(argument); setter != withValue.end()) {
      if (i + 1 >= argc) Fail(argument + " needs a value");
      setter->second(argv[++i]);
    } else {
      Fail("unknown option " + argument);
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const SimOptions options = ParseArguments(argc, argv);
  // The stop signals are taken by sigwait below; every thread started later inherits this mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  try {
    PfrSimulator simulator(options);
    simulator.Start();
    std::cout << simulator.BaseUrl() << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.Stop();
    std::cerr << "pfr-sim: stopped\n";
  } catch (const std::exception& error) {
    std::cerr << "pfr-sim: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
