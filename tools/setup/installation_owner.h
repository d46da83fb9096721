#pragma once

#include <string>

namespace telvano::setup {

// Run as root, a look after an installation (its status, its backup) first becomes the user that owns its
// ApplData folder, with that user's groups, so that nothing in the tree is touched as root and whatever it
// writes belongs to that user. Returns "" when that is done or there is nothing to do (not root, or a folder
// of root's), else why not.
std::string BecomeInstallationOwner(const std::string& applDataDir);

}  // namespace telvano::setup
