#pragma once

#include <memory>
#include <string>

#include "core/message_service.h"
#include "db/database.h"
#include "secrets/change_password_view.h"

namespace telvano::secrets {

inline constexpr const char* kChangePasswordCaption = "Promena lozinke";
inline constexpr const char* kLoginGroupCaption = "LoginName ( interactive mode )";
inline constexpr const char* kSoftKeyGroupCaption = "SoftKey ( listening mode )";
inline constexpr const char* kSavePasswordsCaption = "Save passwords";
inline constexpr int kSecretFieldMaxLength = 16;

inline constexpr const char* kWrongOldLoginText = "Pogrešan stari LoginName!";
inline constexpr const char* kMissingNewLoginText = "Niste uneli: Novi LoginName / Potvrdi novi LoginName!";
inline constexpr const char* kDifferentNewLoginText = "Novi LoginName i Potvrdi novi LoginName se razlikuju!";
inline constexpr const char* kLoginSavedText = "LoginName uspešno promenjena!\n\n";
inline constexpr const char* kWrongOldSoftKeyText = "Pogrešan stari SoftKey!";
inline constexpr const char* kMissingNewSoftKeyText = "Niste uneli: Novi SoftKey / Potvrdi novi SoftKey!";
inline constexpr const char* kDifferentNewSoftKeyText = "Novi SoftKey i Potvrdi novi SoftKey se razlikuju!";
inline constexpr const char* kSoftKeySavedText = "SoftKey uspešno promenjena!";
inline constexpr const char* kSecretsNotSavedText =
    "Greška baze podataka, lozinka nije sačuvana! / Database error, the password was not saved!\n\n";

// What the operator typed into the six fields of the window.
struct PasswordEntries {
  std::string oldLogin;
  std::string newLogin;
  std::string confirmNewLogin;
  std::string oldSoftKey;
  std::string newSoftKey;
  std::string confirmNewSoftKey;
};

// The change of the two secrets: the login secret (LoginName, the interactive login) and the software
// secret (SoftKey, the unattended start). Each change needs the current secret; each part is checked and
// saved on its own. Only the stored forms (core::StoredSecretForm) reach the settings LOGIN_SECRET and
// SOFT_SECRET; the texts typed are never stored, logged or shown.
class TFormChangePassword {
 public:
  // `connection` is the program's connection slot: it may be empty until the start-up has opened it.
  TFormChangePassword(const std::unique_ptr<db::Database>& connection, core::MessageService& messages);

  void AttachView(ChangePasswordView& view) { m_view = &view; }

  // The window, modally (main menu 4 / 5); returns when the operator has closed it. Never raises.
  void ShowModal();

  // Empties all six fields.
  void FormShow();
  // Checks both parts and saves what passed, then shows the errors and the confirmation. The window stays
  // open. A database failure is shown (with what was saved before it) and never raises.
  void Panel1Click(const PasswordEntries& entries);

 private:
  ChangePasswordView& View();
  db::Database& Connection();

  const std::unique_ptr<db::Database>& m_connection;
  core::MessageService& m_messages;
  ChangePasswordView* m_view = nullptr;
};

}  // namespace telvano::secrets
