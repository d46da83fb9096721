#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "core/configuration.h"

namespace telvano::sdc {

// How near the working certificate's end is, for the home screen, the log and the monitoring check.
struct CertificateEnd {
  std::chrono::year_month_day lastDay;  // the certificate's not-after date
  int daysLeft = 0;                     // whole days from today to that date; negative once it has ended
  bool announce = false;                // within the configured warning days (or ended)
};

// The end of a certificate whose not-after text (as cert_se holds it, "Mon dd hh:mm:ss yyyy GMT") is
// `notAfter`, seen on `today`; nothing when the text is empty or not a date.
std::optional<CertificateEnd> CertificateEndOf(const std::string& notAfter, std::chrono::sys_days today,
                                               const core::Configuration& configuration);

// "Sertifikat ističe za N dana / The certificate ends in N days", "… danas / … today" or "… je istekao / …
// has ended", for the operator's home screen and the log.
std::string CertificateEndWarningText(int daysLeft);

// Today's date in UTC from a clock's time point.
std::chrono::sys_days TodayOf(std::chrono::system_clock::time_point now);

}  // namespace telvano::sdc
