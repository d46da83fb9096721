#include "secrets/tform_change_password.h"

#include <exception>
#include <stdexcept>

#include "core/stored_secret.h"
#include "core/text_utils.h"
#include "db/settings.h"

namespace telvano::secrets {

namespace {

// The texts and the setting of one of the two secrets.
struct SecretPart {
  const char* settingKey;
  const char* wrongOld;
  const char* missingNew;
  const char* differentNew;
};

constexpr SecretPart kLoginPart{"LOGIN_SECRET", kWrongOldLoginText, kMissingNewLoginText,
                                kDifferentNewLoginText};
constexpr SecretPart kSoftKeyPart{"SOFT_SECRET", kWrongOldSoftKeyText, kMissingNewSoftKeyText,
                                  kDifferentNewSoftKeyText};

// The outcome of checking one part: nothing to do (old field empty), an error text, or a secret to save.
struct PartCheck {
  bool save = false;
  std::string error;
};

// The texts are hashed exactly as typed; trimming only decides whether a field counts as empty.
PartCheck CheckPart(db::Database& database, const SecretPart& part, const std::string& oldText,
                    const std::string& newText, const std::string& confirmText) {
  PartCheck check;
  if (core::TrimBlanks(oldText).empty()) return check;
  if (!core::SameStoredSecret(core::StoredSecretForm(oldText), db::ReadSetting(database, part.settingKey))) {
    check.error = part.wrongOld;
  } else if (core::TrimBlanks(newText + confirmText).empty()) {
    check.error = part.missingNew;
  } else if (newText != confirmText) {
    check.error = part.differentNew;
  } else {
    check.save = true;
  }
  return check;
}

}  // namespace

TFormChangePassword::TFormChangePassword(const std::unique_ptr<db::Database>& connection,
                                         core::MessageService& messages)
    : m_connection(connection), m_messages(messages) {}

ChangePasswordView& TFormChangePassword::View() {
  if (m_view == nullptr) throw std::logic_error("the password window has no view");
  return *m_view;
}

db::Database& TFormChangePassword::Connection() {
  if (!m_connection || !m_connection->IsOpen()) throw db::DbError("the database is not open");
  return *m_connection;
}

void TFormChangePassword::ShowModal() {
  try {
    FormShow();
    View().ExecModal();
  } catch (const std::exception& error) {
    m_messages.ShowInfo(error.what());
  }
}

void TFormChangePassword::FormShow() { View().ClearFields(); }

void TFormChangePassword::Panel1Click(const PasswordEntries& entries) {
  std::string confirmation;
  try {
    db::Database& database = Connection();
    const PartCheck login =
        CheckPart(database, kLoginPart, entries.oldLogin, entries.newLogin, entries.confirmNewLogin);
    const PartCheck softKey =
        CheckPart(database, kSoftKeyPart, entries.oldSoftKey, entries.newSoftKey, entries.confirmNewSoftKey);
    if (login.save) {
      db::WriteSetting(database, kLoginPart.settingKey, core::StoredSecretForm(entries.newLogin));
      confirmation = kLoginSavedText;
    } else if (!login.error.empty()) {
      m_messages.ShowInfo(login.error);
    }
    if (softKey.save) {
      db::WriteSetting(database, kSoftKeyPart.settingKey, core::StoredSecretForm(entries.newSoftKey));
      confirmation += kSoftKeySavedText;
    } else if (!softKey.error.empty()) {
      m_messages.ShowInfo(softKey.error);
    }
  } catch (const std::exception& error) {
    // What was saved before the failure is still confirmed, so the operator knows which secret is new.
    m_messages.ShowInfo(confirmation + kSecretsNotSavedText + error.what());
    return;
  }
  if (!confirmation.empty()) m_messages.ShowInfo(confirmation);
}

}  // namespace telvano::secrets
