#pragma once

#include <string>

#include "core/configuration.h"
#include "core/working_state.h"

namespace telvano::sdc {

// The processor operations: path, method and body are chosen by number.
enum ProcessorOperation : int {
  kOpPin = 0,                     // POST /api/v3/pin, body = WorkPin (LPFR only)
  kOpEnvironmentParameters = 1,   // GET /api/v3/environment-parameters
  kOpAttention = 2,               // GET /api/v3/attention
  kOpStatus = 3,                  // GET /api/v3/status
  kOpInvoices = 4,                // POST /api/v3/invoices, body = ArchiveDir/<fileName>
};

// The only place that talks to the processor. One request per call, never raises for HTTP or network
// failures; the outcome is left in the four result fields. A missing request file (operation 4) raises
// before anything is sent.
class TFormHTTP {
 public:
  TFormHTTP(const core::Configuration& configuration, const core::WorkingState& workingState);
  virtual ~TFormHTTP() = default;

  void CallLPFR(int operation, const std::string& fileName, const std::string& requestId);
  void CallVPFR(int operation, const std::string& fileName, const std::string& requestId);
  // CallLPFR when the working processor is local, else CallVPFR.
  void CallWorking(int operation, const std::string& fileName, const std::string& requestId);

  int ResponseCode = -1;     // HTTP status of the last reply; -1 when no reply was received
  std::string ResponseBody;  // body of the last reply (also for an error status)
  std::string ErrorText;     // transport failure text, CR LF pairs replaced by one blank
  std::string RequestId;     // the request id given with the last request

 private:
  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
};

}  // namespace telvano::sdc
