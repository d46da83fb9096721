#include "cert/tform_change_password.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../sdc/recording_messages.h"
#include "core/stored_secret.h"
#include "db/settings.h"
#include "support/test_database.h"

namespace telvano::cert {
namespace {

class ClearingView final : public ChangePasswordView {
 public:
  int cleared = 0;
  void ClearFields() override { ++cleared; }
  void ExecModal() override {}
};

class TFormChangePasswordTest : public ::testing::Test {
 protected:
  TFormChangePasswordTest()
      : m_connection(db::Database::Attach(db::Database::Options::For(m_database.Path()))),
        m_form(m_connection, m_messages) {
    m_form.AttachView(m_view);
    db::WriteSetting(*m_connection, "LOGIN_SECRET", core::StoredSecretForm("stara"));
    db::WriteSetting(*m_connection, "SOFT_SECRET", core::StoredSecretForm("softkey"));
  }

  // The secret a setting now holds, out of the candidates of the test ("?" for none of them).
  std::string SecretOf(const char* key) {
    const std::string stored = db::ReadSetting(*m_connection, key);
    for (const char* candidate : {"stara", "softkey", "nova", "novi-sk", " x ", "nova-sa-16-znak."}) {
      if (core::StoredSecretForm(candidate) == stored) return candidate;
    }
    return "?";
  }

  testing::TestDatabase m_database;
  std::unique_ptr<db::Database> m_connection;
  testing::RecordingMessages m_messages;
  ClearingView m_view;
  TFormChangePassword m_form;
};

TEST_F(TFormChangePasswordTest, EachPartIsCheckedAndSavedOnItsOwn) {
  const struct {
    const char* name;
    PasswordEntries entries;
    std::vector<std::string> shown;
    const char* login;
    const char* softKey;
  } cases[] = {
      {"both old fields empty: nothing happens",
       {"", "nova", "nova", " ", "novi-sk", "novi-sk"},
       {},
       "stara",
       "softkey"},
      {"the login alone",
       {"stara", "nova", "nova", "", "", ""},
       {"info:LoginName uspešno promenjena!\n\n"},
       "nova",
       "softkey"},
      {"both at once: one box, the login line first",
       {"stara", "nova", "nova", "softkey", "novi-sk", "novi-sk"},
       {"info:LoginName uspešno promenjena!\n\nSoftKey uspešno promenjena!"},
       "nova",
       "novi-sk"},
      {"a wrong old login does not stop the software key",
       {"kriva", "nova", "nova", "softkey", "novi-sk", "novi-sk"},
       {"info:Pogrešan stari LoginName!", "info:SoftKey uspešno promenjena!"},
       "stara",
       "novi-sk"},
      {"a wrong old software key",
       {"", "", "", "stara", "novi-sk", "novi-sk"},
       {"info:Pogrešan stari SoftKey!"},
       "stara",
       "softkey"},
      {"blanks only are no new secret",
       {"stara", "  ", " ", "softkey", "", ""},
       {"info:Niste uneli: Novi LoginName / Potvrdi novi LoginName!",
        "info:Niste uneli: Novi SoftKey / Potvrdi novi SoftKey!"},
       "stara",
       "softkey"},
      {"a new secret typed once",
       {"stara", "nova", "", "softkey", "", "novi-sk"},
       {"info:Novi LoginName i Potvrdi novi LoginName se razlikuju!",
        "info:Novi SoftKey i Potvrdi novi SoftKey se razlikuju!"},
       "stara",
       "softkey"},
      {"texts are hashed as typed, blanks included",
       {"stara", " x ", " x ", "", "", ""},
       {"info:LoginName uspešno promenjena!\n\n"},
       " x ",
       "softkey"},
      {"sixteen characters are a secret like any other",
       {"stara", "nova-sa-16-znak.", "nova-sa-16-znak.", "", "", ""},
       {"info:LoginName uspešno promenjena!\n\n"},
       "nova-sa-16-znak.",
       "softkey"},
  };
  for (const auto& c : cases) {
    db::WriteSetting(*m_connection, "LOGIN_SECRET", core::StoredSecretForm("stara"));
    db::WriteSetting(*m_connection, "SOFT_SECRET", core::StoredSecretForm("softkey"));
    m_messages.calls.clear();
    m_form.Panel1Click(c.entries);
    EXPECT_EQ(m_messages.calls, c.shown) << c.name;
    EXPECT_EQ(SecretOf("LOGIN_SECRET"), c.login) << c.name;
    EXPECT_EQ(SecretOf("SOFT_SECRET"), c.softKey) << c.name;
  }
}

TEST_F(TFormChangePasswordTest, TheWindowOpensEmptyAndADatabaseFailureIsShownNotRaised) {
  m_form.ShowModal();
  EXPECT_EQ(m_view.cleared, 1);

  std::unique_ptr<db::Database> none;
  TFormChangePassword withoutDatabase(none, m_messages);
  withoutDatabase.Panel1Click({"stara", "nova", "nova", "", "", ""});
  ASSERT_EQ(m_messages.calls.size(), 1u);
  EXPECT_EQ(m_messages.calls[0], std::string("info:") + kSecretsNotSavedText + "the database is not open");
  // No view attached: the failure is shown too.
  withoutDatabase.ShowModal();
  EXPECT_EQ(m_messages.calls.size(), 2u);
}

}  // namespace
}  // namespace telvano::cert
