#include <gtest/gtest.h>

#include "core/stored_secret.h"
#include "app/tform_login.h"
#include "app_fakes.h"

namespace telvano::testing {
namespace {

class LoginTest : public ::testing::Test {
 protected:
  LoginTest() : services(state), login(services, state, messages) {
    login.AttachView(view);
    services.settings["LOGIN_SECRET"] = core::StoredSecretForm("tajna");
    services.AddCertificate("AB12CD34", true);
    services.AddCertificate("VP000001", false);
    services.rows = {{"AB12CD34", "100200300", "PJ00001 Beograd", "СУФ продукција", "Y"},
                     {"VP000001", "100200300", "PJ2", "СУФ Развој", "N"}};
    services.processorUid = "AB12CD34";
  }

  core::WorkingState state;
  ScriptedServices services;
  RecordingMessages messages;
  ScriptedLoginView view;
  app::TFormLogin login;
};

TEST(SecretHash, IsSha512HexOfTheLowerCasedText) {
  EXPECT_EQ(core::StoredSecretForm(""),
            "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
            "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
  EXPECT_EQ(core::StoredSecretForm("abc"),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_EQ(core::StoredSecretForm("ABC"), core::StoredSecretForm("abc"));
  EXPECT_EQ(core::StoredSecretForm("ŠIFRA"), core::StoredSecretForm("šifra"));
}

TEST_F(LoginTest, TheListHoldsEveryCertificateAndTheTwoNewEntries) {
  login.FormShow();
  const std::vector<std::string> expected = {"AB12CD34 | 100200300 | PJ00001 | PROD | LPFR",
                                             "VP000001 | 100200300 | PJ2 | DEV | VPFR", app::kNewLpfrEntry,
                                             app::kNewVpfrEntry};
  EXPECT_EQ(view.entries, expected);
  EXPECT_FALSE(view.choiceVisible);
  EXPECT_TRUE(view.passwordEnabled);
  EXPECT_EQ(state.WorkSerial, "AB12CD34");  // the first entry is applied
  EXPECT_EQ(view.pinPacMaxLength, 4);
  EXPECT_TRUE(view.pinPacDigitsOnly);
  EXPECT_EQ(view.pinPacLabel, "PIN (4) - LPFR");
}

TEST_F(LoginTest, AWrongSecretIsRefusedAndTheRightOneInAnyCaseOpensTheChoice) {
  login.FormShow();
  login.PasswordEnter("kriva");
  EXPECT_EQ(messages.shown, std::vector<std::string>{"info:Pogrešna lozinka!"});
  EXPECT_FALSE(view.choiceVisible);
  EXPECT_EQ(view.events.back(), "focus-password");
  login.PasswordEnter("TAJNA");
  EXPECT_TRUE(view.choiceVisible);
  EXPECT_FALSE(view.passwordEnabled);
  EXPECT_EQ(view.events.back(), "focus-pinpac");
}

TEST_F(LoginTest, AShortPinDoesNothingAndAFullOneRunsTheLpfrChecks) {
  login.FormShow();
  login.PasswordEnter("tajna");
  services.calls.clear();
  login.PinPacEnter("123");
  EXPECT_TRUE(services.calls.empty());
  login.PinPacEnter("1234");
  const std::vector<std::string> expected = {"CheckAttention", "CheckLpfrStatus", "GetProcessorUid",
                                             "SendPin:1234"};
  EXPECT_EQ(services.calls, expected);
  EXPECT_TRUE(view.accepted);
  EXPECT_EQ(state.WorkPin, "1234");
}

TEST_F(LoginTest, ACardWithAnotherCertificateShowsMessage16AndStaysOpen) {
  services.processorUid = "ZZ000000";
  login.FormShow();
  login.PasswordEnter("tajna");
  login.PinPacEnter("1234");
  EXPECT_EQ(messages.shown, std::vector<std::string>{"no:16"});
  EXPECT_FALSE(view.accepted);
  EXPECT_TRUE(state.WorkPin.empty());
  EXPECT_EQ(view.events.back(), "focus-pinpac");
}

TEST_F(LoginTest, ARefusedPinLeavesTheWindowOpenForAnotherTry) {
  login.FormShow();
  login.PasswordEnter("tajna");
  services.failures["SendPin"] = "2100";
  login.PinPacEnter("9999");
  EXPECT_FALSE(view.accepted);
  EXPECT_TRUE(state.WorkPin.empty());
  services.failures.clear();
  login.PinPacEnter("1234");
  EXPECT_TRUE(view.accepted);
}

TEST_F(LoginTest, AVirtualProcessorTakesASixCharacterPac) {
  login.FormShow();
  login.CBCertificatesChange(1);
  EXPECT_EQ(state.WorkSerial, "VP000001");
  EXPECT_EQ(view.pinPacMaxLength, 6);
  EXPECT_FALSE(view.pinPacDigitsOnly);
  EXPECT_EQ(view.pinPacLabel, "PAK (6) - VPFR");
  login.PasswordEnter("tajna");
  services.calls.clear();
  login.PinPacEnter("ab12cd");
  EXPECT_EQ(services.calls, (std::vector<std::string>{"CheckAttention", "CheckVpfrPac:AB12CD"}));
  EXPECT_TRUE(view.accepted);
}

TEST_F(LoginTest, NewEntriesClearTheStateAndAskNoProcessor) {
  login.FormShow();
  login.PasswordEnter("tajna");
  login.CBCertificatesChange(2);  // "Novi LPFR"
  EXPECT_TRUE(state.WorkSerial.empty());
  EXPECT_TRUE(state.WorkIsLpfr);
  EXPECT_EQ(view.pinPacMaxLength, 4);
  login.CBCertificatesChange(3);  // "Novi VPFR"
  EXPECT_FALSE(state.WorkIsLpfr);
  services.calls.clear();
  login.PinPacEnter("x1y2z3");
  EXPECT_TRUE(services.calls.empty());
  EXPECT_TRUE(view.accepted);
  EXPECT_EQ(state.WorkPin, "X1Y2Z3");
}

TEST_F(LoginTest, AnEmptyDatabaseStillOffersTheNewEntries) {
  services.rows.clear();
  login.FormShow();
  EXPECT_EQ(view.entries, (std::vector<std::string>{app::kNewLpfrEntry, app::kNewVpfrEntry}));
  EXPECT_TRUE(state.WorkSerial.empty());
}

}  // namespace
TEST(LoginPauses, EachWrongSecretMakesTheNextTryWaitLongerUpToHalfAMinute) {
  core::WorkingState state;
  ScriptedServices services(state);
  services.settings["LOGIN_SECRET"] = core::StoredSecretForm("tajna");
  RecordingMessages messages;
  ScriptedLoginView view;
  platform::ManualClock clock;
  app::TFormLogin login(services, state, messages, &clock);
  login.AttachView(view);
  login.FormShow();
  std::vector<long long> waits;
  for (int i = 0; i < 7; ++i) {
    const auto before = clock.TotalSlept();
    login.PasswordEnter("kriva");
    waits.push_back((clock.TotalSlept() - before).count());
  }
  EXPECT_EQ(waits, (std::vector<long long>{0, 1000, 2000, 4000, 8000, 16000, 30000}));
  const auto before = clock.TotalSlept();
  login.PasswordEnter("TAJNA");  // waits once more, then the right one resets the pause
  EXPECT_EQ((clock.TotalSlept() - before).count(), 30000);
  EXPECT_TRUE(view.choiceVisible);
}

}  // namespace telvano::testing
