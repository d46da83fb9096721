#pragma once

// A raw Firebird attachment with INSERTs prepared once and run for many rows: the db layer prepares every
// statement anew, far too slow for the millions of rows of a filled database.
#include <firebird/Interface.h>
#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded_access.h"

namespace telvano::bench {

namespace fb = Firebird;

inline constexpr unsigned kCharsetUtf8 = 4;

inline std::string StatusText(fb::IUtil* util, fb::IStatus* status) {
  char buffer[2048];
  util->formatStatus(buffer, sizeof buffer, status);
  return buffer;
}

class Session {
 public:
  Session(const std::string& path, int cacheBuffers, int forcedWrites /* -1: leave as it is */)
      : m_master(fb::fb_get_master_interface()),
        m_util(m_master->getUtilInterface()),
        m_status(m_master->getStatus()),
        m_provider(m_master->getDispatcher()) {
    db::PrepareEmbeddedAccess();
    Guard([&] {
      fb::IXpbBuilder* dpb = m_util->getXpbBuilder(&m_status, fb::IXpbBuilder::DPB, nullptr, 0);
      dpb->insertString(&m_status, isc_dpb_user_name, "SYSDBA");
      dpb->insertString(&m_status, isc_dpb_lc_ctype, "UTF8");
      dpb->insertString(&m_status, isc_dpb_config, "Providers=Engine12");
      if (cacheBuffers > 0) dpb->insertInt(&m_status, isc_dpb_num_buffers, cacheBuffers);
      if (forcedWrites >= 0) dpb->insertInt(&m_status, isc_dpb_force_write, forcedWrites);
      m_attachment = m_provider->attachDatabase(&m_status, path.c_str(), dpb->getBufferLength(&m_status),
                                                dpb->getBuffer(&m_status));
      dpb->dispose();
    });
  }

  ~Session() {
    try {
      if (m_transaction) m_transaction->rollback(&m_status);
    } catch (const fb::FbException&) {
    }
    try {
      if (m_attachment) m_attachment->detach(&m_status);
    } catch (const fb::FbException&) {
      m_attachment->release();
    }
    m_provider->release();
    m_status.dispose();
  }

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs `work`, turning Firebird's exception into a runtime_error with the status text.
  template <typename Work>
  void Guard(Work&& work) {
    try {
      work();
    } catch (const fb::FbException& error) {
      throw std::runtime_error(StatusText(m_util, error.getStatus()));
    }
  }

  void Begin() {
    Guard([&] { m_transaction = m_attachment->startTransaction(&m_status, 0, nullptr); });
  }

  void Commit() {
    Guard([&] { m_transaction->commit(&m_status); });
    m_transaction = nullptr;
  }

  fb::ITransaction* Transaction() const { return m_transaction; }
  fb::IAttachment* Attachment() const { return m_attachment; }
  fb::ThrowStatusWrapper& Status() { return m_status; }

 private:
  fb::IMaster* m_master;
  fb::IUtil* m_util;
  fb::ThrowStatusWrapper m_status;
  fb::IProvider* m_provider;
  fb::IAttachment* m_attachment = nullptr;
  fb::ITransaction* m_transaction = nullptr;
};

enum class Kind { Text, Integer, Amount };  // Amount: NUMERIC with 4 decimals, given in units of 0.0001

struct Column {
  Kind kind;
  unsigned bytes = 0;  // Text: the longest value in bytes
};

inline Column Text(unsigned characters) { return {Kind::Text, characters * 4}; }
inline constexpr Column kInteger{Kind::Integer};
inline constexpr Column kAmount{Kind::Amount};

// One INSERT prepared once and run for many rows. Before each row Clear() makes every value null; the
// setters fill the values of the row.
class Insert {
 public:
  Insert(Session& session, const std::string& sql, const std::vector<Column>& columns) : m_session(session) {
    session.Guard([&] {
      auto& status = session.Status();
      m_statement =
          session.Attachment()->prepare(&status, session.Transaction(), 0, sql.c_str(), SQL_DIALECT_V6, 0);
      fb::IMessageMetadata* described = m_statement->getInputMetadata(&status);
      if (described->getCount(&status) != columns.size()) {
        described->release();
        throw std::runtime_error("column list does not match: " + sql);
      }
      fb::IMetadataBuilder* builder = described->getBuilder(&status);
      described->release();
      for (unsigned i = 0; i < columns.size(); ++i) {
        if (columns[i].kind == Kind::Text) {
          builder->setType(&status, i, SQL_VARYING + 1);
          builder->setLength(&status, i, columns[i].bytes);
          builder->setCharSet(&status, i, kCharsetUtf8);
          builder->setScale(&status, i, 0);
        } else {
          builder->setType(&status, i, SQL_INT64 + 1);
          builder->setLength(&status, i, sizeof(std::int64_t));
          builder->setScale(&status, i, columns[i].kind == Kind::Amount ? -4 : 0);
        }
      }
      m_metadata = builder->getMetadata(&status);
      builder->release();
      m_buffer.assign(m_metadata->getMessageLength(&status), 0);
      for (unsigned i = 0; i < columns.size(); ++i) {
        m_offsets.push_back(m_metadata->getOffset(&status, i));
        m_nullOffsets.push_back(m_metadata->getNullOffset(&status, i));
        m_limits.push_back(columns[i].bytes);
      }
    });
  }

  ~Insert() {
    if (m_metadata) m_metadata->release();
    try {
      if (m_statement) m_statement->free(&m_session.Status());
    } catch (const fb::FbException&) {
      m_statement->release();
    }
  }

  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;

  void Clear() {
    const short null = -1;
    for (unsigned offset : m_nullOffsets) std::memcpy(&m_buffer[offset], &null, sizeof null);
  }

  Insert& Set(unsigned index, std::string_view text) {
    if (text.size() > m_limits.at(index)) throw std::length_error("value too long: " + std::string(text));
    const auto length = static_cast<unsigned short>(text.size());
    std::memcpy(&m_buffer[m_offsets[index]], &length, sizeof length);
    std::memcpy(&m_buffer[m_offsets[index] + sizeof length], text.data(), text.size());
    return Present(index);
  }

  Insert& Set(unsigned index, std::int64_t value) {
    std::memcpy(&m_buffer[m_offsets.at(index)], &value, sizeof value);
    return Present(index);
  }

  void Run() {
    m_session.Guard([&] {
      m_statement->execute(&m_session.Status(), m_session.Transaction(), m_metadata, m_buffer.data(), nullptr,
                           nullptr);
    });
  }

 private:
  Insert& Present(unsigned index) {
    const short present = 0;
    std::memcpy(&m_buffer[m_nullOffsets[index]], &present, sizeof present);
    return *this;
  }

  Session& m_session;
  fb::IStatement* m_statement = nullptr;
  fb::IMessageMetadata* m_metadata = nullptr;
  std::vector<unsigned char> m_buffer;
  std::vector<unsigned> m_offsets;
  std::vector<unsigned> m_nullOffsets;
  std::vector<unsigned> m_limits;
};

}  // namespace telvano::bench
