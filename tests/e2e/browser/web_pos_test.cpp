// The web POS example, served from its folder, fiscalises a cart in headless Chromium through the real
// program's API; the page shows the processor's receipt and a QR code that decodes to the verification URL.
#include <gtest/gtest.h>
#include <httplib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "api_e2e_support.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/test_paths.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs a program with its arguments (no shell), its output into `output` and its complaints into
// `output`.err; its exit code, -1 when it could not run.
int RunProgram(std::vector<std::string> words, const fs::path& output) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    ::dup2(::open((output.string() + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WebPos, FiscalisesACartAndShowsTheReceiptAndItsQrCode) {
  const fs::path browserTools = fs::path(SourceDir()) / "tests" / "browser";
  if (!fs::exists(browserTools / "node_modules" / "puppeteer-core") || !fs::exists("/usr/bin/chromium")) {
    if (std::getenv("CI") != nullptr) FAIL() << "CI needs chromium and tests/browser's packages (scripts/node-tools.sh)";
    GTEST_SKIP() << "no chromium or puppeteer-core: run scripts/install-deps.sh and scripts/node-tools.sh";
  }
  ApiShop shop;
  E2eInstallation& installation = shop.installation;
  const ApiInstallation& api = shop.api;
  // The page comes from a server of its own, as a browser POS would: another origin than the API's.
  httplib::Server pages;
  ASSERT_TRUE(pages.set_mount_point("/", (fs::path(SourceDir()) / "docs" / "examples" / "web-pos").string()));
  const int pagePort = pages.bind_to_any_port("127.0.0.1");
  std::thread serving([&pages] { pages.listen_after_bind(); });
  const std::string pageOrigin = "http://127.0.0.1:" + std::to_string(pagePort);
  installation.AddConfiguration("ApiOrigins", pageOrigin);
  const std::string problem = shop.Start();
  ASSERT_EQ(problem, "");

  const fs::path out = installation.Root() / "browser";
  fs::create_directories(out);
  const int code = RunProgram({"node", (browserTools / "web_pos_test.mjs").string(), "--page", pageOrigin + "/index.html",
                        "--api", api.BaseUrl(), "--token", ApiInstallation::kToken, "--out", out.string()},
                       out / "node.txt");
  pages.stop();
  serving.join();
  ASSERT_EQ(code, 0) << ReadFileBytes(out / "node.txt") << ReadFileBytes(out / "node.txt.err") << installation.Log();

  const nlohmann::json shown = nlohmann::json::parse(ReadFileBytes(out / "result.json"));
  const nlohmann::json signedAnswer = nlohmann::json::parse(*shop.sim->AnswerFor(shop.sim->Requests().back().Header("RequestId").value()));
  EXPECT_EQ(shop.sim->TotalCounter(), 1u);
  EXPECT_EQ(shown["invoiceNumber"], signedAnswer["invoiceNumber"]);
  std::string journal = signedAnswer["journal"].get<std::string>() + "\r\n";
  for (std::size_t at; (at = journal.find("\r\n")) != std::string::npos;) journal.replace(at, 2, "\n");
  EXPECT_EQ(shown["journal"], journal);
  // The QR code the page shows is the processor's: it reads back as the verification URL.
  ASSERT_EQ(RunProgram({"zbarimg", "--raw", "-q", (out / "qr.png").string()}, out / "qr.txt"), 0);
  EXPECT_EQ(ReadFileBytes(out / "qr.txt"), signedAnswer["verificationUrl"].get<std::string>() + "\n");
  // The page's picture, for whoever wants to see it (the README's comes from here).
  fs::copy_file(out / "web-pos.png", fs::path(BuildDir()) / "web-pos.png", fs::copy_options::overwrite_existing);
  EXPECT_EQ(shop.Stop(), 0);
}

}  // namespace
}  // namespace telvano::testing
