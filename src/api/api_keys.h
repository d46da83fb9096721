#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace telvano::api {

// 1 to 64 of A-Z a-z 0-9 _ -.
bool IsIdempotencyKey(std::string_view key);
// SHA-256 (hex) of a request's meaning, its file name and text: the same invoice posted with its JSON
// written another way has the same hash.
std::string BodyHash(std::string_view name, std::string_view text);

// One key as table api_keys keeps it.
struct KeyRow {
  std::string key;
  std::string bodyHash;
  std::string inputName;
  bool answered = false;  // its answer is final and kept
  int httpStatus = 0;
};

// The durable idempotency keys (table api_keys) and their final answers (Answers/<key>.json: the status on
// the first line, then the body; written whole and flushed). The answer's file is what makes it final: the
// row is marked afterwards, several at once, so that an answer costs no commit of its own.
class ApiKeys {
 public:
  ApiKeys(db::Database& database, std::string answersFolder);

  std::optional<KeyRow> Find(const std::string& key);
  void Insert(const std::string& key, const std::string& bodyHash, const std::string& inputName);
  // Keeps the final answer of a key, durably; its row is marked by the next MarkKept().
  void Keep(const std::string& key, int httpStatus, const std::string& body);
  // The kept body of an answered key; raises platform::FileError when it cannot be read.
  std::string KeptBody(const std::string& key) const;
  // Keys taken but without a final answer, oldest first.
  std::vector<KeyRow> Unanswered();
  // Marks the rows of the answers kept since the last call, in one commit.
  void MarkKept();
  // Forgets keys (and their answers) older than `age`; an unanswered one only once nothing of it is open.
  void Purge(std::chrono::hours age);
  std::size_t Count();

 private:
  std::string AnswerPath(const std::string& key) const { return m_answersFolder + "/" + key + ".json"; }
  std::optional<int> KeptStatus(const std::string& key) const;

  db::Database& m_database;
  std::string m_answersFolder;
  std::vector<std::pair<std::string, int>> m_unmarked;
};

}  // namespace telvano::api
