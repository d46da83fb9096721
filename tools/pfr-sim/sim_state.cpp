#include "sim_state.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace telvano::pfrsim {

SimState::SimState(std::string file) : m_file(std::move(file)) {
  if (m_file.empty() || !std::filesystem::exists(m_file)) return;
  std::ifstream in(m_file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  try {
    const auto state = nlohmann::json::parse(text);
    m_totalCounter = state.value("totalCounter", 0u);
    m_typeCounters = state.value("transactionTypeCounters", std::map<std::string, std::uint32_t>{});
    m_lastInvoiceNumber = state.value("lastInvoiceNumber", std::string());
    for (const auto& entry : state.value("answers", nlohmann::json::array())) {
      m_answers.emplace_back(entry.at("requestId").get<std::string>(), entry.at("answer").get<std::string>());
    }
  } catch (const nlohmann::json::exception& error) {
    throw std::runtime_error("state file " + m_file + " is unreadable: " + error.what());
  }
}

std::uint32_t SimState::TypeCounter(const std::string& extension) const {
  const auto found = m_typeCounters.find(extension);
  return found == m_typeCounters.end() ? 0 : found->second;
}

std::pair<std::uint32_t, std::uint32_t> SimState::Count(const std::string& extension) {
  return {++m_totalCounter, ++m_typeCounters[extension]};
}

void SimState::Remember(const std::string& invoiceNumber, const std::string& requestId, const std::string& answer) {
  m_lastInvoiceNumber = invoiceNumber;
  if (requestId.empty()) return;
  std::erase_if(m_answers, [&requestId](const auto& entry) { return entry.first == requestId; });
  m_answers.emplace_back(requestId, answer);
  while (m_answers.size() > kAnswersKept) m_answers.pop_front();
}

const std::string* SimState::AnswerFor(const std::string& requestId) const {
  for (auto it = m_answers.rbegin(); it != m_answers.rend(); ++it) {
    if (it->first == requestId) return &it->second;
  }
  return nullptr;
}

void SimState::SetCounters(std::uint32_t total, std::map<std::string, std::uint32_t> byExtension) {
  m_totalCounter = total;
  m_typeCounters = std::move(byExtension);
}

void SimState::Save() const {
  if (m_file.empty()) return;
  nlohmann::json answers = nlohmann::json::array();
  const std::size_t first = m_answers.size() > kAnswersSaved ? m_answers.size() - kAnswersSaved : 0;
  for (std::size_t i = first; i < m_answers.size(); ++i) {
    answers.push_back({{"requestId", m_answers[i].first}, {"answer", m_answers[i].second}});
  }
  const nlohmann::json state = {{"totalCounter", m_totalCounter},
                                {"transactionTypeCounters", m_typeCounters},
                                {"lastInvoiceNumber", m_lastInvoiceNumber},
                                {"answers", answers}};
  const std::string temporary = m_file + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << state.dump(2);
    if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
  }
  std::filesystem::rename(temporary, m_file);
}

}  // namespace telvano::pfrsim
