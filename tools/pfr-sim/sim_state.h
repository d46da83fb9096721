#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>

namespace telvano::pfrsim {

// The processor's memory of signed invoices: counters, the last number and the recent answers by RequestId.
// With a file it survives a restart; the file is replaced whole after every change so a crash leaves either
// the old or the new state.
class SimState {
 public:
  static constexpr std::size_t kAnswersKept = 1000;
  static constexpr std::size_t kAnswersSaved = 20;

  explicit SimState(std::string file);  // loads the file when it exists; throws std::runtime_error if unreadable

  std::uint32_t TotalCounter() const { return m_totalCounter; }
  std::uint32_t TypeCounter(const std::string& extension) const;
  const std::map<std::string, std::uint32_t>& TypeCounters() const { return m_typeCounters; }
  const std::string& LastInvoiceNumber() const { return m_lastInvoiceNumber; }

  // Counts one more invoice of that extension; returns {total, per-type} including it.
  std::pair<std::uint32_t, std::uint32_t> Count(const std::string& extension);
  void Remember(const std::string& invoiceNumber, const std::string& requestId, const std::string& answer);
  const std::string* AnswerFor(const std::string& requestId) const;
  void SetCounters(std::uint32_t total, std::map<std::string, std::uint32_t> byExtension);
  void Save() const;

 private:
  std::string m_file;
  std::uint32_t m_totalCounter = 0;
  std::map<std::string, std::uint32_t> m_typeCounters;
  std::string m_lastInvoiceNumber;
  std::deque<std::pair<std::string, std::string>> m_answers;  // requestId, answer body; oldest first
};

}  // namespace telvano::pfrsim
