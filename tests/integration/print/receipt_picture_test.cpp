// The png: port of the real Ostrapo: a print script becomes a PNG picture whose QR code a reader decodes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "invoice/print_script.h"
#include "program_run.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kZbar = "/usr/bin/zbarimg";

// What zbarimg reads in the picture (its QR codes' data, one a line).
std::string Decoded(const fs::path& picture) {
  std::string decoded;
  FILE* reader =
      popen((std::string(kZbar) + " --quiet --raw '" + picture.string() + "' 2>/dev/null").c_str(), "r");
  if (reader == nullptr) return decoded;
  char buffer[512];
  for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, reader)) > 0;) decoded.append(buffer, got);
  pclose(reader);
  return decoded;
}

TEST(ReceiptPicture, PngPortWritesAPictureWhoseQrCodeDecodes) {
  if (access(kZbar, X_OK) != 0) GTEST_SKIP() << "zbarimg is not installed (Debian package zbar-tools)";
  TempDir root;
  fs::create_directories(root.Path() / "print");
  invoice::PrintScriptInput input;
  input.model = invoice::PrinterModel::Epson;
  input.journal =
      "============ ФИСКАЛНИ РАЧУН ============\r\nКафа (Ђ)          2 x 120,00    240,00\r\n"
      "ОБУКА\r\n======== КРАЈ ФИСКАЛНОГ РАЧУНА =========\r\n";
  input.verificationUrl = "https://suf.purs.gov.rs/v/?vl=" + std::string(200, 'Q');
  const fs::path script = root.Path() / "script";
  WriteFileBytes(script, invoice::BuildPrintScript(input));

  const ProgramResult run =
      RunProgram(OSTRAPO_PATH, {"--log-dir", root / "print", "--file-dir", root / "print", "--pause-scale",
                                "0", "--", script, "png:receipt.png"});
  ASSERT_EQ(run.exitCode, 0) << run.standardError;
  const fs::path picture = root.Path() / "print" / "receipt.png";
  ASSERT_TRUE(fs::exists(picture));
  EXPECT_EQ(ReadFileBytes(picture).substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(Decoded(picture), input.verificationUrl + "\n");
  EXPECT_NE(ReadFileBytes(root.Path() / "print" / "Ostrapo_log.txt").find("\tpng:receipt.png\t"),
            std::string::npos);
}

}  // namespace
}  // namespace telvano::testing
