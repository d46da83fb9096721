#pragma once

#include <iosfwd>
#include <string>

namespace telvano::setup {

// Where a machine's own installation lives (telvano-setup --system): the data, the configuration file the
// program reads when TELVANO_REGISTRY is not set, the system user of the package and of telvano.service,
// and the lock file of the service's instance (TELVANO_LOCK_DIR=/run/telvano in the unit).
inline constexpr const char* kSystemDataRoot = "/var/lib/telvano";
inline constexpr const char* kSystemConfigFile = "/etc/xdg/Dravicor/TELVANO.conf";
inline constexpr const char* kServiceUser = "telvano";
inline constexpr const char* kServiceLockPath = "/run/telvano/TELVANO_Started.lock";

// The folder of the helper programs the package installs (Ostrapo): <prefix>/lib/telvano beside the
// <prefix>/bin that holds this telvano-setup. In a build folder it does not exist.
std::string HelperProgramFolder();

// True when the system has a user of this name.
bool UserExists(const std::string& name);

// Links every executable file of `helperFolder` into `runTimeDir` under its own name, unless that name is
// taken there already (a program copied with --install-program stays). A missing folder links nothing.
void LinkHelperPrograms(const std::string& helperFolder, const std::string& runTimeDir, std::ostream& out);

// Throws std::runtime_error unless `owner` ("USER" or "USER:GROUP") names a user (and group) of this system.
void CheckOwner(const std::string& owner);

// Gives `folder` and everything below it to `owner` ("USER" or "USER:GROUP"; the group defaults to the
// user's own): folders rwx for owner and group with the set-group-id bit, so what the program writes later
// keeps the group, files read-write for owner and group, nothing for others. Symbolic links are given
// over themselves, never followed. Throws std::runtime_error for an unknown user or group.
void GiveToOwner(const std::string& folder, const std::string& owner);

// The configuration file of an owned installation: it stays with whoever runs telvano-setup (root for
// --system), readable by the owner's group and by nobody else.
void ShareWithOwnerGroup(const std::string& file, const std::string& owner);

}  // namespace telvano::setup
