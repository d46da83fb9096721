#include "support/pfr_sim_fixture.h"

#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

#include "pfr-sim/test_pki_script.h"

extern char** environ;

namespace telvano::testing {

namespace {

// Runs a program with an argument list (no shell) and waits for it.
int RunAndWait(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TestPki::TestPki(const std::vector<std::string>& scriptArguments) {
  std::vector<std::string> arguments = {"/bin/bash", pfrsim::TestPkiScriptPath(), m_dir.Path().string()};
  arguments.insert(arguments.end(), scriptArguments.begin(), scriptArguments.end());
  if (RunAndWait(arguments) != 0) throw std::runtime_error("make-test-pki.sh failed (is openssl installed?)");
}

std::string TestPki::ClientSerial() const {
  std::string serial = ReadFileBytes(m_dir.Path() / "client.serial");
  while (!serial.empty() && (serial.back() == '\n' || serial.back() == '\r')) serial.pop_back();
  return serial;
}

void TestPki::WriteClientPems(const std::filesystem::path& certificateDir, const std::string& serial) const {
  std::filesystem::create_directories(certificateDir);
  WriteFileBytes(certificateDir / (serial + "_cert.pem"), ReadFileBytes(ClientCert()));
  WriteFileBytes(certificateDir / (serial + "_key.pem"), ReadFileBytes(ClientKey()));
}

std::unique_ptr<pfrsim::PfrSimulator> StartLpfrSimulator(pfrsim::SimOptions options) {
  options.mode = pfrsim::Mode::Lpfr;
  auto simulator = std::make_unique<pfrsim::PfrSimulator>(std::move(options));
  simulator->Start();
  return simulator;
}

std::unique_ptr<pfrsim::PfrSimulator> StartVpfrSimulator(const TestPki& pki, pfrsim::SimOptions options) {
  options.mode = pfrsim::Mode::Vpfr;
  options.certFile = pki.ServerCert();
  options.keyFile = pki.ServerKey();
  options.clientCaFile = pki.CaCert();
  auto simulator = std::make_unique<pfrsim::PfrSimulator>(std::move(options));
  simulator->Start();
  return simulator;
}

}  // namespace telvano::testing
