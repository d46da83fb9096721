#pragma once

#include <iosfwd>
#include <string>

#include "setup_options.h"

namespace telvano::setup {

// Checks the certificate options: --import-pfx needs --pfx-password and --pac, --register-lpfr needs --pin
// and
// --developer-tin, the two exclude each other and every option of a new installation. False with `error` set.
bool CheckCertificateOptions(const SetupOptions& options, std::string& error);

// True when --import-pfx or --register-lpfr is asked for.
bool WantsCertificate(const SetupOptions& options);

// Runs the asked procedure of the working-certificate window (TFormCertificate, the same code as the
// window's "Sačuvaj") on the installation that `configFile` describes, with messages written to `err`
// instead of windows. Prints the new working certificate's serial on `out` and returns 0, or returns 1.
int RunCertificateSetup(const SetupOptions& options, const std::string& configFile, std::ostream& out,
                        std::ostream& err);

}  // namespace telvano::setup
