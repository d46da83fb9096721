#include "platform/text_case.h"

#include <gtest/gtest.h>

#include <clocale>

namespace telvano::platform {
namespace {

TEST(TextCase, FullUnicodeUpperCasing) {
  EXPECT_EQ(ToUpperUnicode("šđčćž"), "ŠĐČĆŽ");
  EXPECT_EQ(ToUpperUnicode("љубав ђак џеп ћирилица"), "ЉУБАВ ЂАК ЏЕП ЋИРИЛИЦА");
  EXPECT_EQ(ToUpperUnicode("db_version"), "DB_VERSION");
  EXPECT_EQ(ToUpperUnicode("straße"), "STRASSE");  // one letter becomes two
  EXPECT_EQ(ToUpperUnicode("Ǆ ǆ"), "Ǆ Ǆ");
  EXPECT_EQ(ToUpperUnicode(""), "");
}

TEST(TextCase, IndependentOfTheUsersLocale) {
  // A Turkish locale upper-cases "i" to "İ"; keys must not depend on that.
  std::setlocale(LC_ALL, "tr_TR.UTF-8");
  EXPECT_EQ(ToUpperUnicode("login_secret"), "LOGIN_SECRET");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace telvano::platform
