#include "db/database.h"

#include "db/embedded_access.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace telvano::db {

using namespace Firebird;

namespace {

constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kMaxVaryingBytes = 32765;

// The error codes that say the link to the database is gone rather than that a statement was wrong.
bool IsConnectionLossCode(ISC_STATUS code) {
  switch (code) {
    case isc_network_error:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_lost_db_connection:
    case isc_conn_lost:
    case isc_att_shutdown:
    case isc_shutdown:
    case isc_net_server_shutdown:
    case isc_bad_db_handle:
    case isc_net_connect_err:
      return true;
    default:
      return false;
  }
}

// Walks the whole status vector: the loss may be named by the second or third code of a message.
bool NamesConnectionLoss(const ISC_STATUS* vector) {
  if (!vector) return false;
  for (const ISC_STATUS* at = vector; *at != isc_arg_end;) {
    const ISC_STATUS kind = *at;
    if (kind == isc_arg_gds && IsConnectionLossCode(at[1])) return true;
    at += (kind == isc_arg_cstring) ? 3 : 2;
  }
  return false;
}

// Firebird's status as one text: every line of its message, joined by "\n".
DbError ErrorFrom(IUtil* util, IStatus* status, const std::string& context = {}) {
  char buffer[4096];
  util->formatStatus(buffer, sizeof buffer, status);
  std::string text = buffer;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (!context.empty()) text = context + (text.empty() ? "" : "\n" + text);
  const ISC_STATUS* vector = reinterpret_cast<const ISC_STATUS*>(status->getErrors());
  std::int64_t gds = vector && vector[0] == isc_arg_gds ? vector[1] : 0;
  std::int64_t sql = vector ? isc_sqlcode(vector) : 0;
  return DbError(text, sql, gds, NamesConnectionLoss(vector));
}

bool Failed(CheckStatusWrapper& status) { return (status.getState() & IStatus::STATE_ERRORS) != 0; }

template <typename T>
void Release(T*& object) {
  if (object) object->release();
  object = nullptr;
}

// A message buffer laid out as Firebird's metadata describes it (offsets are aligned to the buffer start).
struct Message {
  IMessageMetadata* metadata = nullptr;
  std::unique_ptr<unsigned char[]> buffer;
  unsigned length = 0;

  ~Message() { Release(metadata); }
};

// "host:path", "host/port:path" or "inet://..." reach a server; a plain path opens the file in this process.
bool IsEmbeddedName(const std::string& name) { return name.find(':') == std::string::npos; }

}  // namespace

struct Database::Impl {
  IMaster* master = fb_get_master_interface();
  IUtil* util = master->getUtilInterface();
  IStatus* rawStatus = master->getStatus();
  CheckStatusWrapper status{rawStatus};
  IProvider* provider = nullptr;
  IAttachment* attachment = nullptr;
  ITransaction* explicitTransaction = nullptr;
  std::string name;
  Options options;
  bool connectionLost = false;

  Impl() { provider = master->getDispatcher(); }

  ~Impl() {
    CloseQuietly();
    Release(provider);
    rawStatus->dispose();
  }

  void Check(const std::string& context = {}) {
    if (!Failed(status)) return;
    DbError error = ErrorFrom(util, &status, context);
    if (error.ConnectionLost()) connectionLost = true;
    throw error;
  }

  void CloseQuietly() {
    if (explicitTransaction) {
      explicitTransaction->rollback(&status);
      if (Failed(status)) Release(explicitTransaction);
      explicitTransaction = nullptr;
    }
    if (attachment) {
      status.init();
      attachment->detach(&status);
      if (Failed(status)) attachment->release();
      attachment = nullptr;
    }
    status.init();
  }

  IXpbBuilder* BuildDpb(const Options& options, bool creating) {
    status.init();
    IXpbBuilder* dpb = util->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    Check();
    dpb->insertString(&status, isc_dpb_user_name, options.user.c_str());
    if (!options.password.empty()) dpb->insertString(&status, isc_dpb_password, options.password.c_str());
    dpb->insertString(&status, isc_dpb_lc_ctype, "UTF8");
    // A plain path always opens the file in this process, whatever firebird.conf lists and whether or not
    // a local server runs; "host:path" goes through the network client only.
    dpb->insertString(&status, isc_dpb_config,
                      IsEmbeddedName(options.name) ? "Providers=Engine12" : "Providers=Remote");
    if (creating) {
      dpb->insertInt(&status, isc_dpb_page_size, 8192);
      dpb->insertString(&status, isc_dpb_set_db_charset, "UTF8");
      dpb->insertInt(&status, isc_dpb_force_write, options.forcedWrites ? 1 : 0);
      dpb->insertInt(&status, isc_dpb_sql_dialect, 3);
    }
    if (Failed(status)) {
      DbError error = ErrorFrom(util, &status);
      dpb->dispose();
      throw error;
    }
    return dpb;
  }

  void Open(const Options& openOptions, bool creating) {
    options = openOptions;
    name = options.name;
    if (IsEmbeddedName(options.name)) PrepareEmbeddedAccess();
    IXpbBuilder* dpb = BuildDpb(options, creating);
    const unsigned char* bytes = dpb->getBuffer(&status);
    unsigned length = dpb->getBufferLength(&status);
    if (creating)
      attachment = provider->createDatabase(&status, options.name.c_str(), length, bytes);
    else
      attachment = provider->attachDatabase(&status, options.name.c_str(), length, bytes);
    dpb->dispose();
    if (Failed(status)) {
      attachment = nullptr;
      throw ErrorFrom(util, &status, (creating ? "cannot create database " : "cannot open database ") + options.name);
    }
  }

  ITransaction* StartTransaction() {
    status.init();
    IXpbBuilder* tpb = util->getXpbBuilder(&status, IXpbBuilder::TPB, nullptr, 0);
    Check();
    tpb->insertTag(&status, isc_tpb_read_committed);
    tpb->insertTag(&status, isc_tpb_rec_version);
    tpb->insertTag(&status, isc_tpb_wait);
    tpb->insertTag(&status, isc_tpb_write);
    ITransaction* transaction =
        attachment->startTransaction(&status, tpb->getBufferLength(&status), tpb->getBuffer(&status));
    tpb->dispose();
    Check("cannot start a transaction");
    return transaction;
  }

  void RequireOpen() const {
    if (!attachment) throw DbError("the database is not open");
  }

  // Describes the parameters as the values we hold; the database converts them to the columns' types.
  void BindParams(IStatement* statement, const std::vector<Param>& params, Message& message) {
    IMessageMetadata* described = statement->getInputMetadata(&status);
    Check();
    unsigned count = described->getCount(&status);
    if (count != params.size()) {
      described->release();
      throw DbError("the statement has " + std::to_string(count) + " parameters, " + std::to_string(params.size()) +
                    " were given");
    }
    IMetadataBuilder* builder = described->getBuilder(&status);
    described->release();
    Check();
    for (unsigned i = 0; i < count; ++i) {
      const Param& param = params[i];
      if (auto* text = std::get_if<std::string>(&param)) {
        if (text->size() > kMaxVaryingBytes) {
          builder->release();
          throw DbError("a text parameter is longer than " + std::to_string(kMaxVaryingBytes) + " bytes");
        }
        builder->setType(&status, i, SQL_VARYING + 1);
        builder->setLength(&status, i, static_cast<unsigned>(std::max<std::size_t>(text->size(), 1)));
        builder->setCharSet(&status, i, kCharsetUtf8);
        builder->setScale(&status, i, 0);
      } else if (auto* integer = std::get_if<std::int64_t>(&param)) {
        (void)integer;
        builder->setType(&status, i, SQL_INT64 + 1);
        builder->setLength(&status, i, sizeof(std::int64_t));
        builder->setScale(&status, i, 0);
      } else if (auto* decimal = std::get_if<Decimal>(&param)) {
        builder->setType(&status, i, SQL_INT64 + 1);
        builder->setLength(&status, i, sizeof(std::int64_t));
        builder->setScale(&status, i, -decimal->scale);
      }
      // A null keeps the described type; only its null flag is set below.
      Check();
    }
    message.metadata = builder->getMetadata(&status);
    builder->release();
    Check();
    message.length = message.metadata->getMessageLength(&status);
    Check();
    message.buffer.reset(new unsigned char[message.length ? message.length : 1]());
    for (unsigned i = 0; i < count; ++i) {
      unsigned char* data = message.buffer.get() + message.metadata->getOffset(&status, i);
      auto* nullFlag = reinterpret_cast<short*>(message.buffer.get() + message.metadata->getNullOffset(&status, i));
      Check();
      const Param& param = params[i];
      *nullFlag = 0;
      if (auto* text = std::get_if<std::string>(&param)) {
        auto length = static_cast<unsigned short>(text->size());
        std::memcpy(data, &length, sizeof length);
        std::memcpy(data + sizeof length, text->data(), text->size());
      } else if (auto* integer = std::get_if<std::int64_t>(&param)) {
        std::memcpy(data, integer, sizeof *integer);
      } else if (auto* decimal = std::get_if<Decimal>(&param)) {
        std::memcpy(data, &decimal->units, sizeof decimal->units);
      } else {
        *nullFlag = -1;
      }
    }
  }

  // Asks for the output in forms we can read: integers and exact numbers as they are, everything that is
  // neither number nor text (dates, times, booleans, big numbers) as text the database renders.
  void DescribeOutput(IStatement* statement, Message& message, std::vector<std::string>& names) {
    IMessageMetadata* described = statement->getOutputMetadata(&status);
    Check();
    unsigned count = described->getCount(&status);
    for (unsigned i = 0; i < count; ++i) {
      const char* alias = described->getAlias(&status, i);
      names.emplace_back(alias && *alias ? alias : described->getField(&status, i));
    }
    IMetadataBuilder* builder = described->getBuilder(&status);
    Check();
    for (unsigned i = 0; i < count; ++i) {
      unsigned type = described->getType(&status, i) & ~1u;
      switch (type) {
        case SQL_TEXT:
        case SQL_VARYING:
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
        case SQL_BLOB:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TIMESTAMP:
          break;
        default:
          builder->setType(&status, i, SQL_VARYING + 1);
          builder->setLength(&status, i, 64 * 4);  // bytes: 64 characters of up to 4 bytes
          builder->setCharSet(&status, i, kCharsetUtf8);
          builder->setScale(&status, i, 0);
          break;
      }
    }
    described->release();
    message.metadata = builder->getMetadata(&status);
    builder->release();
    Check();
    message.length = message.metadata->getMessageLength(&status);
    message.buffer.reset(new unsigned char[message.length ? message.length : 1]());
    Check();
  }

  std::string ReadBlob(ITransaction* transaction, ISC_QUAD* id) {
    IBlob* blob = attachment->openBlob(&status, transaction, id, 0, nullptr);
    Check("cannot read a blob");
    std::string text;
    char chunk[16384];
    for (;;) {
      unsigned got = 0;
      int result = blob->getSegment(&status, sizeof chunk, chunk, &got);
      if (result == IStatus::RESULT_OK || result == IStatus::RESULT_SEGMENT) {
        text.append(chunk, got);
        continue;
      }
      break;
    }
    if (Failed(status)) {
      DbError error = ErrorFrom(util, &status, "cannot read a blob");
      blob->release();
      throw error;
    }
    blob->close(&status);
    if (Failed(status)) blob->release();
    status.init();
    return text;
  }

  // Dates and times as ISO texts: "2024-03-01", "10:15:30" (with ".ffff" only when there are fractions).
  std::string DateText(ISC_DATE date) {
    unsigned year = 0, month = 0, day = 0;
    util->decodeDate(date, &year, &month, &day);
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", year, month, day);
    return text;
  }

  std::string TimeText(ISC_TIME time) {
    unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
    util->decodeTime(time, &hours, &minutes, &seconds, &fractions);
    char text[24];
    if (fractions)
      std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", hours, minutes, seconds, fractions);
    else
      std::snprintf(text, sizeof text, "%02u:%02u:%02u", hours, minutes, seconds);
    return text;
  }

  Field ReadField(ITransaction* transaction, const Message& message, unsigned index) {
    IMessageMetadata* metadata = message.metadata;
    const unsigned char* data = message.buffer.get() + metadata->getOffset(&status, index);
    short nullFlag;
    std::memcpy(&nullFlag, message.buffer.get() + metadata->getNullOffset(&status, index), sizeof nullFlag);
    if (nullFlag) return Field::Null();
    unsigned type = metadata->getType(&status, index) & ~1u;
    int scale = metadata->getScale(&status, index);
    unsigned length = metadata->getLength(&status, index);
    unsigned charset = metadata->getCharSet(&status, index);
    switch (type) {
      case SQL_TEXT: {
        std::string text(reinterpret_cast<const char*>(data), length);
        // CHAR pads with blanks; binary CHAR keeps every byte.
        if (charset != kCharsetOctets)
          while (!text.empty() && text.back() == ' ') text.pop_back();
        return Field::Text(std::move(text));
      }
      case SQL_VARYING: {
        unsigned short size;
        std::memcpy(&size, data, sizeof size);
        return Field::Text(std::string(reinterpret_cast<const char*>(data) + sizeof size, size));
      }
      case SQL_SHORT: {
        std::int16_t value;
        std::memcpy(&value, data, sizeof value);
        return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
      }
      case SQL_LONG: {
        std::int32_t value;
        std::memcpy(&value, data, sizeof value);
        return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
      }
      case SQL_INT64: {
        std::int64_t value;
        std::memcpy(&value, data, sizeof value);
        return scale ? Field::Exact(Decimal{value, -scale}) : Field::Integer(value);
      }
      case SQL_FLOAT: {
        float value;
        std::memcpy(&value, data, sizeof value);
        return Field::Floating(value);
      }
      case SQL_DOUBLE:
      case SQL_D_FLOAT: {
        double value;
        std::memcpy(&value, data, sizeof value);
        return Field::Floating(value);
      }
      case SQL_TYPE_DATE: {
        ISC_DATE date;
        std::memcpy(&date, data, sizeof date);
        return Field::Text(DateText(date));
      }
      case SQL_TYPE_TIME: {
        ISC_TIME time;
        std::memcpy(&time, data, sizeof time);
        return Field::Text(TimeText(time));
      }
      case SQL_TIMESTAMP: {
        ISC_TIMESTAMP stamp;
        std::memcpy(&stamp, data, sizeof stamp);
        return Field::Text(DateText(stamp.timestamp_date) + " " + TimeText(stamp.timestamp_time));
      }
      case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, data, sizeof id);
        return Field::Text(ReadBlob(transaction, &id));
      }
      default:
        throw DbError("unsupported column type " + std::to_string(type));
    }
  }

  // Prepares, binds and runs one statement inside `transaction`; rows are collected when it has a cursor.
  std::vector<Row> RunIn(ITransaction* transaction, std::string_view sql, const std::vector<Param>& params,
                         std::size_t rowLimit, std::uint64_t* affected) {
    std::string text(sql);
    status.init();
    IStatement* statement =
        attachment->prepare(&status, transaction, 0, text.c_str(), SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA);
    Check();
    std::vector<Row> rows;
    try {
      // A COMMIT, ROLLBACK or SET TRANSACTION would end or replace the transaction this layer owns and
      // leave it with a dead handle: transactions are taken only through Database::Transaction.
      const unsigned type = statement->getType(&status);
      Check();
      if (type == isc_info_sql_stmt_commit || type == isc_info_sql_stmt_rollback ||
          type == isc_info_sql_stmt_start_trans) {
        throw DbError("transaction statements are not run as plain statements: " + text);
      }
      Message input;
      BindParams(statement, params, input);
      Message output;
      auto names = std::make_shared<std::vector<std::string>>();
      DescribeOutput(statement, output, *names);
      bool hasCursor = (statement->getFlags(&status) & IStatement::FLAG_HAS_CURSOR) != 0;
      Check();
      if (hasCursor) {
        IResultSet* cursor = statement->openCursor(&status, transaction, input.metadata, input.buffer.get(),
                                                   output.metadata, 0);
        Check();
        try {
          while (rows.size() < rowLimit && cursor->fetchNext(&status, output.buffer.get()) == IStatus::RESULT_OK) {
            std::vector<Field> fields;
            for (unsigned i = 0; i < names->size(); ++i) fields.push_back(ReadField(transaction, output, i));
            rows.emplace_back(names, std::move(fields));
          }
          Check();
          cursor->close(&status);
          if (Failed(status)) {
            DbError error = ErrorFrom(util, &status);
            cursor->release();
            throw error;
          }
        } catch (...) {
          status.init();
          if (cursor) cursor->release();
          throw;
        }
      } else {
        bool hasOutput = !names->empty();
        statement->execute(&status, transaction, input.metadata, input.buffer.get(),
                           hasOutput ? output.metadata : nullptr, hasOutput ? output.buffer.get() : nullptr);
        Check();
        if (affected) {
          *affected = statement->getAffectedRecords(&status);
          Check();
        }
        if (hasOutput) {
          std::vector<Field> fields;
          for (unsigned i = 0; i < names->size(); ++i) fields.push_back(ReadField(transaction, output, i));
          rows.emplace_back(names, std::move(fields));
        }
      }
    } catch (...) {
      status.init();
      statement->release();
      throw;
    }
    statement->free(&status);
    if (Failed(status)) statement->release();
    status.init();
    return rows;
  }

  // Outside an explicit transaction every statement commits on its own; a failure rolls back first.
  std::vector<Row> Run(std::string_view sql, const std::vector<Param>& params, std::size_t rowLimit,
                       std::uint64_t* affected = nullptr) {
    RequireOpen();
    if (affected) *affected = 0;
    if (explicitTransaction) return RunIn(explicitTransaction, sql, params, rowLimit, affected);
    ITransaction* transaction = StartTransaction();
    try {
      std::vector<Row> rows = RunIn(transaction, sql, params, rowLimit, affected);
      transaction->commit(&status);
      Check();
      return rows;
    } catch (...) {
      status.init();
      transaction->rollback(&status);
      if (Failed(status)) transaction->release();
      status.init();
      throw;
    }
  }
};

Database::Database(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Database::~Database() = default;

std::unique_ptr<Database> Database::Attach(const Options& options) {
  auto impl = std::make_unique<Impl>();
  impl->Open(options, false);
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

std::unique_ptr<Database> Database::Create(const Options& options) {
  auto impl = std::make_unique<Impl>();
  impl->Open(options, true);
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

const std::string& Database::Name() const { return m_impl->name; }

bool Database::IsOpen() const { return m_impl->attachment != nullptr; }

void Database::Close() { m_impl->CloseQuietly(); }

bool Database::InTransaction() const { return m_impl->explicitTransaction != nullptr; }

bool Database::ConnectionLost() const { return m_impl->connectionLost; }

void Database::Reconnect() {
  Impl& impl = *m_impl;
  // A lost attachment cannot be detached cleanly; the handles are released either way.
  impl.CloseQuietly();
  impl.Open(impl.options, false);
  impl.connectionLost = false;
}

void Database::Ping() { m_impl->Run("select 1 from rdb$database", {}, 1); }

void Database::Execute(std::string_view sql, const std::vector<Param>& params) {
  m_impl->Run(sql, params, SIZE_MAX);
}

std::uint64_t Database::ExecuteCounted(std::string_view sql, const std::vector<Param>& params) {
  std::uint64_t affected = 0;
  m_impl->Run(sql, params, SIZE_MAX, &affected);
  return affected;
}

std::vector<Row> Database::Query(std::string_view sql, const std::vector<Param>& params) {
  return m_impl->Run(sql, params, SIZE_MAX);
}

std::optional<Row> Database::QueryFirst(std::string_view sql, const std::vector<Param>& params) {
  std::vector<Row> rows = m_impl->Run(sql, params, 1);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

Database::Transaction::Transaction(Database& database) : m_database(&database) {
  Impl& impl = *database.m_impl;
  impl.RequireOpen();
  if (impl.explicitTransaction) throw DbError("transactions do not nest");
  impl.explicitTransaction = impl.StartTransaction();
}

Database::Transaction::~Transaction() {
  if (!m_done) {
    try {
      Rollback();
    } catch (...) {
      // Destruction must not throw; the database drops an unfinished transaction on detach anyway.
    }
  }
}

void Database::Transaction::Commit() {
  Impl& impl = *m_database->m_impl;
  if (m_done || !impl.explicitTransaction) throw DbError("the transaction has already ended");
  impl.status.init();
  impl.explicitTransaction->commit(&impl.status);
  if (Failed(impl.status)) {
    DbError error = ErrorFrom(impl.util, &impl.status, "commit failed");
    impl.status.init();
    impl.explicitTransaction->rollback(&impl.status);
    if (Failed(impl.status)) impl.explicitTransaction->release();
    impl.status.init();
    impl.explicitTransaction = nullptr;
    m_done = true;
    throw error;
  }
  impl.explicitTransaction = nullptr;
  m_done = true;
}

void Database::Transaction::Rollback() {
  Impl& impl = *m_database->m_impl;
  m_done = true;
  if (!impl.explicitTransaction) return;
  impl.status.init();
  impl.explicitTransaction->rollback(&impl.status);
  if (Failed(impl.status)) impl.explicitTransaction->release();
  impl.status.init();
  impl.explicitTransaction = nullptr;
}

}  // namespace telvano::db
