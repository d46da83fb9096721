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

std::string CertificateEndWarningText(int daysLeft) {
  if (daysLeft < 0) return "Radni sertifikat je istekao! / The working certificate has ended!";
  if (daysLeft == 0) return "Radni sertifikat ističe danas! / The working certificate ends today!";
  const std::string days = std::to_string(daysLeft);
  const bool oneDay = daysLeft % 10 == 1 && daysLeft % 100 != 11;  // 1, 21, 31 "dan"; the others "dana"
  return "Radni sertifikat ističe za " + days + (oneDay ? " dan" : " dana") +
         " / The working certificate ends in " + days + (daysLeft == 1 ? " day" : " days");
}

std::chrono::sys_days TodayOf(std::chrono::system_clock::time_point now) {
  return std::chrono::floor<std::chrono::days>(now);
}

}  // namespace telvano::sdc
