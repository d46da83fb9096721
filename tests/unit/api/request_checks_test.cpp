#include <gtest/gtest.h>

#include "api/api_keys.h"
#include "api/request_checks.h"

namespace telvano::api {
namespace {

struct BodyCase {
  const char* body;
  const char* name;  // expected; nullptr: refused
};

class FileBodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(FileBodyTest, OnlyAnObjectWithABareInvoiceNameAndText) {
  std::string why;
  const auto file = ParseFileBody(GetParam().body, "INV_", why);
  if (GetParam().name == nullptr) {
    EXPECT_FALSE(file) << GetParam().body;
    EXPECT_FALSE(why.empty());
    return;
  }
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(file->name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, FileBodyTest,
    ::testing::Values(BodyCase{R"({"name":"INV_NS_1.csv","csv":"x"})", "INV_NS_1.csv"},
                      BodyCase{R"({"csv":"x","name":"inv_xs_1.CSV","extra":1})", "inv_xs_1.CSV"},  // checked later
                      BodyCase{R"({"name":"INV_NS_1.csv"})", nullptr}, BodyCase{R"({"name":1,"csv":"x"})", nullptr},
                      BodyCase{R"(["INV_NS_1.csv","x"])", nullptr}, BodyCase{"not json", nullptr},
                      BodyCase{"{\"name\":\"INV_NS_1.csv\",\"csv\":\"\xC3\"}", nullptr},  // not UTF-8
                      BodyCase{R"({"name":"../INV_NS_1.csv","csv":"x"})", nullptr},
                      BodyCase{R"({"name":"SDC_Inp/INV_NS_1.csv","csv":"x"})", nullptr},
                      BodyCase{R"({"name":".INV_NS_1.csv","csv":"x"})", nullptr},
                      BodyCase{R"({"name":"INV_NS_1.csv\u0000.txt","csv":"x"})", nullptr},
                      BodyCase{R"({"name":"INV_NS_1.json","csv":"x"})", nullptr},
                      BodyCase{R"({"name":"CMD_1.csv","csv":"x"})", nullptr},
                      BodyCase{R"({"name":"INV_.csv","csv":"x"})", nullptr}),
    [](const auto& info) { return "Body" + std::to_string(info.index); });

TEST(IdempotencyKey, CharactersAndLength) {
  EXPECT_TRUE(IsIdempotencyKey("a"));
  EXPECT_TRUE(IsIdempotencyKey("POS-7_2024-000123"));
  EXPECT_TRUE(IsIdempotencyKey(std::string(64, 'k')));
  EXPECT_FALSE(IsIdempotencyKey(""));
  EXPECT_FALSE(IsIdempotencyKey(std::string(65, 'k')));
  for (const char* wrong : {"a b", "a/b", "a.b", "ключ", "a\nb", "a%20"}) EXPECT_FALSE(IsIdempotencyKey(wrong)) << wrong;
}

TEST(BodyHash, TheNameAndTheTextBothCountAndCannotTradePlaces) {
  EXPECT_EQ(BodyHash("INV_NS_1.csv", "x"), BodyHash("INV_NS_1.csv", "x"));
  EXPECT_NE(BodyHash("INV_NS_1.csv", "x"), BodyHash("INV_NS_2.csv", "x"));
  EXPECT_NE(BodyHash("INV_NS_1.csv", "x"), BodyHash("INV_NS_1.csv", "y"));
  EXPECT_NE(BodyHash("ab", "c"), BodyHash("a", "bc"));
  EXPECT_EQ(BodyHash("a", "b").size(), 64u);
}

}  // namespace
}  // namespace telvano::api
