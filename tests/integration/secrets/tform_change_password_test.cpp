#include "secrets/tform_change_password.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../sdc/recording_messages.h"
#include "core/stored_secret.h"
#include "db/settings.h"
#include "support/test_database.h"

namespace telvano::secrets {
namespace {

class ClearingView final : public ChangePasswordView {
 public:
  int cleared = 0;
  void ClearFields() override { ++cleared; }
  void ExecModal() override {}
};

class TFormChangePasswordTest : public ::testing::Test {
 protected:
  TFormChangePasswordTest() { m_form.AttachView(m_view); }

  bool Holds(const char* key, const std::string& secret) {
    return db::ReadSetting(*m_connection, key) == core::StoredSecretForm(secret);
  }

  testing::TestDatabase m_database;
  std::unique_ptr<db::Database> m_connection =
      db::Database::Attach(db::Database::Options::For(m_database.Path()));
  testing::RecordingMessages m_messages;
  ClearingView m_view;
  TFormChangePassword m_form{m_connection, m_messages};
};

TEST_F(TFormChangePasswordTest, EachPartIsCheckedAndSavedOnItsOwn) {
  // clang-format off
  const struct {
    const char* name;
    PasswordEntries entries;  // old, new, confirm of the login, then of the software key
    std::vector<std::string> shown;
    const char* login;
    const char* softKey;
  } cases[] = {
      {"both old fields empty (blanks count as empty): nothing happens",
       {"", "nova", "nova", " ", "novi", "novi"}, {}, "stara", "softkey"},
      {"both at once: one box, the login line first", {"stara", "nova", "nova", "softkey", "novi", "novi"},
       {"info:LoginName uspešno promenjena!\n\nSoftKey uspešno promenjena!"}, "nova", "novi"},
      {"a wrong old login does not stop the software key", {"kriva", "nova", "nova", "softkey", "novi", "novi"},
       {"info:Pogrešan stari LoginName!", "info:SoftKey uspešno promenjena!"}, "stara", "novi"},
      {"blanks only are no new secret", {"stara", "  ", " ", "kriva", "novi", "novi"},
       {"info:Niste uneli: Novi LoginName / Potvrdi novi LoginName!", "info:Pogrešan stari SoftKey!"},
       "stara", "softkey"},
      {"a new secret typed once", {"stara", "nova", "", "softkey", "", "novi"},
       {"info:Novi LoginName i Potvrdi novi LoginName se razlikuju!",
        "info:Novi SoftKey i Potvrdi novi SoftKey se razlikuju!"}, "stara", "softkey"},
      {"texts are hashed as typed, blanks included", {"stara", " x ", " x ", "", "", ""},
       {"info:LoginName uspešno promenjena!\n\n"}, " x ", "softkey"},
  };
  // clang-format on
  for (const auto& c : cases) {
    db::WriteSetting(*m_connection, "LOGIN_SECRET", core::StoredSecretForm("stara"));
    db::WriteSetting(*m_connection, "SOFT_SECRET", core::StoredSecretForm("softkey"));
    m_messages.calls.clear();
    m_form.Panel1Click(c.entries);
    EXPECT_EQ(m_messages.calls, c.shown) << c.name;
    EXPECT_TRUE(Holds("LOGIN_SECRET", c.login)) << c.name;
    EXPECT_TRUE(Holds("SOFT_SECRET", c.softKey)) << c.name;
  }
}

TEST_F(TFormChangePasswordTest, TheWindowOpensEmptyAndADatabaseFailureIsShownNotRaised) {
  m_form.ShowModal();
  EXPECT_EQ(m_view.cleared, 1);
  std::unique_ptr<db::Database> none;
  TFormChangePassword withoutDatabase(none, m_messages);
  withoutDatabase.Panel1Click({"stara", "nova", "nova", "", "", ""});
  EXPECT_EQ(m_messages.calls, std::vector<std::string>{std::string("info:") + kSecretsNotSavedText +
                                                       "the database is not open"});
}

}  // namespace
}  // namespace telvano::secrets
