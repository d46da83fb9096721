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
// user's own), as the permission model has it: the owner alone may touch the data, the database, the keys,
// the log, the archive and the programs (folders 0700, files 0600); the group may pass through the
// installation's root and the exchange root (`passage`: 02710) and use SDC_Inp and SDC_Out (02770, files
// 0660). The walk goes by descriptors and never follows a link, and leaves files with several names, FIFOs
// and devices alone. Throws std::runtime_error for an unknown user or group, std::system_error when a
// step fails.
void GiveToOwner(const std::string& folder, const std::string& owner, bool passage = false);

// The configuration file of an owned installation: with the server's password (`holdsSecret`) it becomes
// the owner's, readable by nobody else; otherwise it stays with whoever runs telvano-setup (root for
// --system), readable by the owner's group.
void ShareWithOwnerGroup(const std::string& file, const std::string& owner, bool holdsSecret);

}  // namespace telvano::setup
