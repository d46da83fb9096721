#include "api/api_keys.h"

#include <filesystem>
#include <system_error>

#include "platform/content_hash.h"
#include "platform/whole_file.h"

namespace telvano::api {
namespace {

constexpr int kTaken = 1;
constexpr int kAnswered = 3;
constexpr std::size_t kLargestAnswer = 16u * 1024u * 1024u;

KeyRow RowFrom(const db::Row& row) {
  KeyRow key;
  key.key = row["idem_key"].AsString();
  key.bodyHash = row["body_hash"].AsString();
  key.inputName = row["input_name"].AsString();
  key.answered = row["state"].AsInt64() == kAnswered;
  key.httpStatus = row["http_status"].IsNull() ? 0 : static_cast<int>(row["http_status"].AsInt64());
  return key;
}

}  // namespace

bool IsIdempotencyKey(std::string_view key) {
  if (key.empty() || key.size() > 64) return false;
  for (const char c : key) {
    const bool fits = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!fits) return false;
  }
  return true;
}

std::string BodyHash(std::string_view name, std::string_view text) {
  std::string meaning(name);
  meaning.push_back('\0');  // no name holds a NUL: "a"+"bc" and "ab"+"c" differ
  meaning.append(text);
  return platform::ContentHash(meaning);
}

ApiKeys::ApiKeys(db::Database& database, std::string answersFolder)
    : m_database(database), m_answersFolder(std::move(answersFolder)) {}

std::optional<KeyRow> ApiKeys::Find(const std::string& key) {
  const auto row = m_database.QueryFirst("select * from api_keys where idem_key=?", {key});
  if (!row) return std::nullopt;
  KeyRow found = RowFrom(*row);
  if (!found.answered) {
    if (const auto status = KeptStatus(key)) {
      found.answered = true;
      found.httpStatus = *status;
    }
  }
  return found;
}

void ApiKeys::Insert(const std::string& key, const std::string& bodyHash, const std::string& inputName) {
  m_database.Execute(
      "insert into api_keys( idem_key, body_hash, input_name, state, created_at ) "
      "values( ?, ?, ?, ?, current_timestamp )",
      {key, bodyHash, inputName, std::int64_t{kTaken}});
}

void ApiKeys::Keep(const std::string& key, int httpStatus, const std::string& body) {
  platform::WriteFileDurably(AnswerPath(key), std::to_string(httpStatus) + "\n" + body, 0600);
  m_unmarked.emplace_back(key, httpStatus);
}

std::optional<int> ApiKeys::KeptStatus(const std::string& key) const {
  std::error_code error;
  if (!std::filesystem::exists(AnswerPath(key), error)) return std::nullopt;
  const std::string text = platform::ReadRegularFile(AnswerPath(key), kLargestAnswer);
  const std::size_t end = text.find('\n');
  if (end == std::string::npos || end == 0 || end > 3) return std::nullopt;
  return std::stoi(text.substr(0, end));
}

std::string ApiKeys::KeptBody(const std::string& key) const {
  const std::string text = platform::ReadRegularFile(AnswerPath(key), kLargestAnswer);
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? text : text.substr(end + 1);
}

std::vector<KeyRow> ApiKeys::Unanswered() {
  std::vector<KeyRow> keys;
  for (const db::Row& row : m_database.Query("select * from api_keys where state=? order by created_at", {std::int64_t{kTaken}})) {
    KeyRow key = RowFrom(row);
    // Kept before the last crash, not marked yet: marked now.
    if (const auto status = KeptStatus(key.key)) {
      m_unmarked.emplace_back(key.key, *status);
      continue;
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

void ApiKeys::MarkKept() {
  if (m_unmarked.empty()) return;
  db::Database::Transaction transaction(m_database);
  for (const auto& [key, status] : m_unmarked) {
    m_database.Execute("update api_keys set state=?, http_status=?, done_at=current_timestamp where idem_key=?",
                       {std::int64_t{kAnswered}, std::int64_t{status}, key});
  }
  transaction.Commit();
  m_unmarked.clear();
}

void ApiKeys::Purge(std::chrono::hours age) {
  const std::int64_t hours = age.count();
  // An unanswered key whose invoice is still open stays: its outcome may still come.
  const auto old = m_database.Query(
      "select idem_key from api_keys k where k.created_at < dateadd(? hour to current_timestamp) and "
      "(k.state=? or not exists (select 1 from inv_flight f where f.road='API' and "
      "f.ext_filename=upper(k.input_name)))",
      {-hours, std::int64_t{kAnswered}});
  for (const db::Row& row : old) {
    const std::string key = row[0].AsString();
    m_database.Execute("delete from api_keys where idem_key=?", {key});
    std::error_code ignored;
    std::filesystem::remove(AnswerPath(key), ignored);
  }
}

std::size_t ApiKeys::Count() {
  const auto row = m_database.QueryFirst("select count(*) as n from api_keys");
  return row ? static_cast<std::size_t>((*row)["n"].AsInt64()) : 0;
}

}  // namespace telvano::api
