#pragma once

#include <string>

namespace telvano::platform {

// The lock file that stands for the named mutex "TELVANO_Started": $XDG_RUNTIME_DIR/TELVANO_Started.lock,
// or /tmp/TELVANO_Started.lock when XDG_RUNTIME_DIR is not set.
std::string DefaultInstanceLockPath();

// The lock file inside an installation (in its ApplData folder). The per-user lock above keeps one user
// from starting the program twice; this one keeps every program on one installation, whoever starts it
// and wherever its runtime folder is (the service, a POS user, telvano-setup), from working beside another:
// two of them would fiscalise the same inputs.
std::string InstallationLockPath(const std::string& applDataDir);

// One running instance per lock file: an exclusive flock on the file. The kernel drops the lock when the
// holder ends in any way (exit, crash, kill), so a stale file never blocks a new start.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string path = DefaultInstanceLockPath());
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // True when this object now holds the lock (or already held it); false when another holder has it.
  // Throws std::system_error when the lock file cannot be opened at all.
  bool TryAcquire();
  bool IsHeld() const { return m_fd >= 0; }
  void Release();
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  int m_fd = -1;
};

}  // namespace telvano::platform
