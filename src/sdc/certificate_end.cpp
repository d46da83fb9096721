#include "sdc/certificate_end.h"

#include "sdc/sdc_error.h"
#include "sdc/tform_common.h"

namespace telvano::sdc {

std::optional<CertificateEnd> CertificateEndOf(const std::string& notAfter, std::chrono::sys_days today,
                                               const core::Configuration& configuration) {
  if (notAfter.empty()) return std::nullopt;
  CertificateEnd end;
  try {
    end.lastDay = TFormCommon::ParseCertDate(notAfter);
  } catch (const SdcError&) {
    return std::nullopt;
  }
  end.daysLeft = static_cast<int>((std::chrono::sys_days{end.lastDay} - today).count());
  end.announce = end.daysLeft <= core::CertificateWarningDays(configuration);
  return end;
}

std::chrono::sys_days TodayOf(std::chrono::system_clock::time_point now) {
  return std::chrono::floor<std::chrono::days>(now);
}

}  // namespace telvano::sdc
