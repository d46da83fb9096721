#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "api/api_token.h"
#include "support/temp_dir.h"

namespace telvano::api {
namespace {

using ::telvano::testing::TempDir;
using ::telvano::testing::WriteFileBytes;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

struct TokenFileCase {
  const char* name;
  std::string content;
  mode_t mode;
  bool usable;
};

class TokenFileTest : public ::testing::TestWithParam<TokenFileCase> {};

TEST_P(TokenFileTest, OnlyAPrivateFileWithOneGoodLineIsUsed) {
  const TokenFileCase& c = GetParam();
  TempDir dir;
  const std::string path = dir / "token";
  WriteFileBytes(path, c.content);
  ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
  if (!c.usable) {
    try {
      ApiToken::Load(path);
      FAIL() << "accepted";
    } catch (const ApiTokenError& error) {
      // The reason names the file, never what it holds.
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
      EXPECT_EQ(std::string(error.what()).find(kToken), std::string::npos);
    }
    return;
  }
  EXPECT_TRUE(ApiToken::Load(path).Matches(kToken));
}

INSTANTIATE_TEST_SUITE_P(
    Files, TokenFileTest,
    ::testing::Values(TokenFileCase{"Plain", kToken, 0600, true},
                      TokenFileCase{"WithLineBreak", std::string(kToken) + "\r\n", 0400, true},
                      TokenFileCase{"GroupMayRead", kToken, 0640, false},
                      TokenFileCase{"OthersMayWrite", kToken, 0602, false}, TokenFileCase{"Empty", "", 0600, false},
                      TokenFileCase{"OnlyALineBreak", "\n", 0600, false},
                      TokenFileCase{"TooShort", "short-token", 0600, false},
                      TokenFileCase{"TwoLines", std::string(kToken) + "\nsecond", 0600, false},
                      TokenFileCase{"WithABlank", "0123456789abcdef 0123456789", 0600, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApiToken, MissingFileLinkAndFolderAreRefused) {
  TempDir dir;
  EXPECT_THROW(ApiToken::Load(dir / "absent"), ApiTokenError);
  WriteFileBytes(dir / "real", kToken);
  ::chmod((dir / "real").c_str(), 0600);
  std::filesystem::create_symlink(dir / "real", dir / "link");
  EXPECT_THROW(ApiToken::Load(dir / "link"), ApiTokenError);  // never followed
  EXPECT_THROW(ApiToken::Load(dir.Path().string()), ApiTokenError);
}

TEST(ApiToken, MatchesOnlyTheWholeToken) {
  const ApiToken token = ApiToken::FromText(kToken);
  EXPECT_TRUE(token.Matches(kToken));
  EXPECT_FALSE(token.Matches(""));
  EXPECT_FALSE(token.Matches(std::string(kToken).substr(1)));
  EXPECT_FALSE(token.Matches(std::string(kToken) + "x"));
  EXPECT_FALSE(token.Matches("0123456789abcdef0123456789abcdeF"));
}

TEST(ApiToken, BearerOfAnAuthorizationHeader) {
  EXPECT_EQ(ApiToken::BearerOf("bearer abc"), "abc");  // the scheme ignores letter case
  for (const char* other : {"Bearer ", "Basic YWJj", "Bearerabc", ""}) EXPECT_EQ(ApiToken::BearerOf(other), "") << other;
}

}  // namespace
}  // namespace telvano::api
