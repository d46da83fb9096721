#include "app_fakes.h"

namespace telvano::testing {

void ScriptedServices::Step(const std::string& name) {
  calls.push_back(name);
  const std::string key = name.substr(0, name.find(':'));
  const auto failure = failures.find(key);
  if (failure != failures.end()) {
    if (onFailure) onFailure();
    throw std::runtime_error(failure->second);
  }
}

void ScriptedServices::LoadWorkingCertificate(const std::string& serialOrCommand) {
  Step("LoadWorkingCertificate:" + serialOrCommand);
  if (serialOrCommand == "CLEAR") {
    m_state.Clear();
    return;
  }
  std::string serial = serialOrCommand;
  if (serial.empty()) {
    if (certificates.size() != 1) return;  // the real one shows its dialog here
    serial = certificates.begin()->first;
  }
  const auto row = certificates.find(serial);
  if (row == certificates.end()) return;
  const std::string pin = m_state.WorkPin;
  const bool unattended = m_state.Unattended;
  m_state = row->second;
  m_state.WorkPin = pin;
  m_state.Unattended = unattended;
}

std::string ScriptedServices::WindowCaption() { return "TELVANO r10.0.023 | " + m_state.WorkSerial; }

std::string ScriptedServices::ReadSetting(const std::string& key) {
  Step("ReadSetting:" + key);
  const auto value = settings.find(key);
  return value == settings.end() ? std::string() : value->second;
}

std::vector<app::CertificateListRow> ScriptedServices::ListCertificates() {
  Step("ListCertificates");
  return rows;
}

std::string ScriptedServices::GetProcessorUid() {
  Step("GetProcessorUid");
  return processorUid;
}

void ScriptedServices::AddCertificate(const std::string& serial, bool lpfr, const std::string& url) {
  core::WorkingState row;
  row.WorkSerial = serial;
  row.WorkTin = "100200300";
  row.WorkUnit = "PJ00001";
  row.WorkUrl = url;
  row.WorkIsLpfr = lpfr;
  row.WorkEnv = "DEV";
  certificates[serial] = row;
}

}  // namespace telvano::testing
