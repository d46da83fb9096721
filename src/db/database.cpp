#include "db/database.h"

#include "db/embedded_access.h"
#include "db/firebird_status.h"
#include "db/statement_messages.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace telvano::db {

using namespace Firebird;

namespace {

using detail::CheckStatus;
using detail::ErrorFrom;
using detail::Failed;
using detail::Message;
using detail::Release;

// Firebird's monitoring tables keep one snapshot for the life of a transaction: a statement that reads them
// needs a transaction of its own to see the present.
bool ReadsMonitoringTables(std::string_view sql) {
  std::string lower(sql);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower.find("mon$") != std::string::npos;
}

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
  // Statements that only read, outside an explicit transaction, run in one read-only read-committed
  // transaction kept open for them. Firebird starts such a transaction pre-committed: it holds back no
  // garbage collection and sees every commit at once, and a read costs the disk nothing, where a transaction
  // of its own writes the header and an inventory page with forced writes (every poll tick reads).
  ITransaction* readTransaction = nullptr;
  std::string name;
  Options options;
  bool connectionLost = false;

  Impl() { provider = master->getDispatcher(); }

  ~Impl() {
    CloseQuietly();
    Release(provider);
    rawStatus->dispose();
  }

  void Check(const std::string& context = {}) { CheckStatus(util, status, connectionLost, context); }

  void DropReadTransaction() {
    if (!readTransaction) return;
    status.init();
    readTransaction->commit(&status);
    if (Failed(status)) Release(readTransaction);
    readTransaction = nullptr;
    status.init();
  }

  void CloseQuietly() {
    DropReadTransaction();
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

  ITransaction* StartTransaction(bool readOnly = false) {
    status.init();
    IXpbBuilder* tpb = util->getXpbBuilder(&status, IXpbBuilder::TPB, nullptr, 0);
    Check();
    tpb->insertTag(&status, isc_tpb_read_committed);
    tpb->insertTag(&status, isc_tpb_rec_version);
    tpb->insertTag(&status, isc_tpb_wait);
    tpb->insertTag(&status, readOnly ? isc_tpb_read : isc_tpb_write);
    ITransaction* transaction =
        attachment->startTransaction(&status, tpb->getBufferLength(&status), tpb->getBuffer(&status));
    tpb->dispose();
    Check("cannot start a transaction");
    return transaction;
  }

  void RequireOpen() const {
    if (!attachment) throw DbError("the database is not open");
  }

  using Names = std::shared_ptr<std::vector<std::string>>;

  // Prepares, binds and runs one statement inside `transaction`; rows are collected when it has a cursor.
  // Raised by RunIn before anything ran, when a statement asked to only read would do more.
  struct NotAPlainSelect {};

  std::vector<Row> RunIn(ITransaction* transaction, std::string_view sql, const std::vector<Param>& params,
                         std::size_t rowLimit, std::uint64_t* affected, bool plainSelectOnly = false) {
    std::string text(sql);
    status.init();
    IStatement* statement =
        attachment->prepare(&status, transaction, 0, text.c_str(), SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA);
    Check();
    std::vector<Row> rows;
    try {
      const unsigned type = RefuseTransactionStatement(statement, text);
      if (plainSelectOnly && type != isc_info_sql_stmt_select) throw NotAPlainSelect{};
      detail::StatementMessages messages(util, attachment, transaction, status, connectionLost);
      Message input;
      messages.BindParams(statement, params, input);
      Message output;
      auto names = std::make_shared<std::vector<std::string>>();
      messages.DescribeOutput(statement, output, *names);
      bool hasCursor = (statement->getFlags(&status) & IStatement::FLAG_HAS_CURSOR) != 0;
      Check();
      if (hasCursor) {
        rows = FetchRows(statement, transaction, messages, input, output, names, rowLimit);
      } else {
        rows = ExecuteOnce(statement, transaction, messages, input, output, names, affected);
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

  // A COMMIT, ROLLBACK or SET TRANSACTION would end or replace the transaction this layer owns and leave it
  // with a dead handle: transactions are taken only through Database::Transaction.
  unsigned RefuseTransactionStatement(IStatement* statement, const std::string& text) {
    const unsigned type = statement->getType(&status);
    Check();
    if (type == isc_info_sql_stmt_commit || type == isc_info_sql_stmt_rollback ||
        type == isc_info_sql_stmt_start_trans) {
      throw DbError("transaction statements are not run as plain statements: " + text);
    }
    return type;
  }

  // Up to `rowLimit` rows of the statement's cursor; the cursor is closed (or released) either way.
  std::vector<Row> FetchRows(IStatement* statement, ITransaction* transaction, detail::StatementMessages& messages,
                             Message& input, Message& output, const Names& names, std::size_t rowLimit) {
    IResultSet* cursor =
        statement->openCursor(&status, transaction, input.metadata, input.buffer.get(), output.metadata, 0);
    Check();
    std::vector<Row> rows;
    try {
      while (rows.size() < rowLimit && cursor->fetchNext(&status, output.buffer.get()) == IStatus::RESULT_OK) {
        rows.emplace_back(names, FieldsOf(messages, output, names->size()));
      }
      Check();
      cursor->close(&status);
      if (Failed(status)) {
        DbError error = ErrorFrom(util, &status);
        Release(cursor);
        throw error;
      }
    } catch (...) {
      status.init();
      Release(cursor);
      throw;
    }
    return rows;
  }

  // A statement without a cursor; its one row of output (EXECUTE PROCEDURE, RETURNING) when it has one.
  std::vector<Row> ExecuteOnce(IStatement* statement, ITransaction* transaction, detail::StatementMessages& messages,
                               Message& input, Message& output, const Names& names, std::uint64_t* affected) {
    const bool hasOutput = !names->empty();
    statement->execute(&status, transaction, input.metadata, input.buffer.get(),
                       hasOutput ? output.metadata : nullptr, hasOutput ? output.buffer.get() : nullptr);
    Check();
    if (affected) {
      *affected = statement->getAffectedRecords(&status);
      Check();
    }
    std::vector<Row> rows;
    if (hasOutput) rows.emplace_back(names, FieldsOf(messages, output, names->size()));
    return rows;
  }

  std::vector<Field> FieldsOf(detail::StatementMessages& messages, const Message& output, std::size_t count) {
    std::vector<Field> fields;
    for (unsigned i = 0; i < count; ++i) fields.push_back(messages.ReadField(output, i));
    return fields;
  }

  // Outside an explicit transaction every statement commits on its own; a failure rolls back first.
  // `reading`: the caller expects rows (Query); a plain SELECT then runs in the shared read transaction.
  std::vector<Row> Run(std::string_view sql, const std::vector<Param>& params, std::size_t rowLimit,
                       std::uint64_t* affected = nullptr, bool reading = false) {
    RequireOpen();
    if (affected) *affected = 0;
    if (explicitTransaction) return RunIn(explicitTransaction, sql, params, rowLimit, affected);
    if (reading && !ReadsMonitoringTables(sql)) {
      if (!readTransaction) readTransaction = StartTransaction(true);
      try {
        return RunIn(readTransaction, sql, params, rowLimit, affected, true);
      } catch (const NotAPlainSelect&) {
        // It writes, or may (a procedure, a lock): it runs in a transaction of its own below.
      } catch (...) {
        DropReadTransaction();  // the next read starts a fresh one, whatever state this one is in
        throw;
      }
    }
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

void Database::Ping() { m_impl->Run("select 1 from rdb$database", {}, 1, nullptr, true); }

void Database::Execute(std::string_view sql, const std::vector<Param>& params) {
  m_impl->Run(sql, params, SIZE_MAX);
}

std::uint64_t Database::ExecuteCounted(std::string_view sql, const std::vector<Param>& params) {
  std::uint64_t affected = 0;
  m_impl->Run(sql, params, SIZE_MAX, &affected);
  return affected;
}

std::vector<Row> Database::Query(std::string_view sql, const std::vector<Param>& params) {
  return m_impl->Run(sql, params, SIZE_MAX, nullptr, true);
}

std::optional<Row> Database::QueryFirst(std::string_view sql, const std::vector<Param>& params) {
  std::vector<Row> rows = m_impl->Run(sql, params, 1, nullptr, true);
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
