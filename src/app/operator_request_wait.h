#pragma once

#include "core/working_state.h"
#include "sdc/tform_http.h"

namespace telvano::app {

// The operator's window is shown to wait only in the operator's mode: unattended, the requests run as they
// always have, with nobody to watch them and no window to keep alive.
class OperatorRequestWait final : public sdc::RequestWait {
 public:
  OperatorRequestWait(sdc::RequestWait& window, const core::WorkingState& state) : m_window(window), m_state(state) {}

  void Run(const std::string& what, std::chrono::seconds limit, bool mayGiveUp, std::atomic<bool>& giveUp,
           const std::function<void()>& transfer) override {
    if (m_state.Unattended) {
      transfer();
    } else {
      m_window.Run(what, limit, mayGiveUp, giveUp, transfer);
    }
  }

 private:
  sdc::RequestWait& m_window;
  const core::WorkingState& m_state;
};

}  // namespace telvano::app
