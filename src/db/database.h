#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace telvano::db {

// An exact decimal: units × 10^-scale. Firebird's NUMERIC/DECIMAL arrive as scaled integers and stay exact.
struct Decimal {
  std::int64_t units = 0;
  int scale = 0;

  // "12.50", "-0.0001", "7": "." as decimal separator, no thousands separator, all scale digits kept.
  std::string ToString() const;
  // Rounds half away from zero to the given number of decimals ("ToFixed(2)" of 1.005 is "1.01").
  std::string ToFixed(int decimals) const;
  // Reads "12.5", "-3", "0.0001" (an optional sign, digits, optional "." and digits); nullopt otherwise.
  static std::optional<Decimal> Parse(std::string_view text);
  bool operator==(const Decimal& other) const;  // numeric equality (1.50 == 1.5)
};

// A bound parameter: null, UTF-8 text, integer or exact decimal.
// Text bound to a numeric or date column is converted by the database, just as a quoted literal would be.
using Param = std::variant<std::nullptr_t, std::string, std::int64_t, Decimal>;

// The meaning of the original SqlLiteral as a bound value: an empty text is null, any other text stays
// exactly as it is (apostrophes included).
Param SqlValue(const std::string& text);

// A failed database operation; what() is Firebird's status text (all lines joined by "\n").
class DbError : public std::runtime_error {
 public:
  DbError(const std::string& message, std::int64_t sqlCode = 0, std::int64_t gdsCode = 0,
          bool connectionLost = false)
      : std::runtime_error(message), m_sqlCode(sqlCode), m_gdsCode(gdsCode), m_connectionLost(connectionLost) {}
  std::int64_t SqlCode() const { return m_sqlCode; }
  std::int64_t GdsCode() const { return m_gdsCode; }
  // The link to the database is gone (network error, server shut down, attachment lost): nothing about the
  // statement itself was wrong, and it may succeed on a new connection.
  bool ConnectionLost() const { return m_connectionLost; }

 private:
  std::int64_t m_sqlCode;
  std::int64_t m_gdsCode;
  bool m_connectionLost;
};

// One value of a result row.
class Field {
 public:
  Field() = default;
  static Field Null();
  static Field Text(std::string text);
  static Field Integer(std::int64_t value);
  static Field Exact(Decimal value);
  static Field Floating(double value);

  bool IsNull() const { return m_kind == Kind::Null; }
  // The value as text, the way a quoted literal would give it back: text unchanged (CHAR without its
  // padding blanks), integers in decimal, NUMERIC with all its scale digits ("12.50"), null as "".
  std::string AsString() const;
  std::int64_t AsInt64() const;  // throws DbError for text that is not an integer
  Decimal AsDecimal() const;     // throws DbError for text that is not a number

 private:
  enum class Kind { Null, Text, Integer, Exact, Floating };
  Kind m_kind = Kind::Null;
  std::string m_text;
  std::int64_t m_integer = 0;
  Decimal m_decimal;
  double m_floating = 0;
};

// One result row; columns are found by position or by name (without regard to case).
class Row {
 public:
  Row(std::shared_ptr<const std::vector<std::string>> names, std::vector<Field> fields);
  std::size_t size() const { return m_fields.size(); }
  const Field& operator[](std::size_t index) const { return m_fields.at(index); }
  const Field& operator[](std::string_view columnName) const;  // throws DbError for an unknown name
  const std::vector<std::string>& ColumnNames() const { return *m_names; }

 private:
  std::shared_ptr<const std::vector<std::string>> m_names;
  std::vector<Field> m_fields;
};

// The one connection. Statements run one at a time; outside an explicit Transaction each statement is
// committed on its own (auto-commit), and a failed statement is rolled back before the error is raised.
// Text travels as UTF-8 (the connection's character set is UTF8).
class Database {
 public:
  struct Options {
    std::string name;  // a file path opens the database embedded; "host:path" reaches a server
    std::string user = "SYSDBA";
    std::string password;  // empty: none is sent (embedded access needs none)
    bool forcedWrites = true;  // Create only: every commit reaches the disk before it returns

    static Options For(std::string name) {
      Options options;
      options.name = std::move(name);
      return options;
    }
  };

  static std::unique_ptr<Database> Attach(const Options& options);
  // Creates a new database file (page size 8192, UTF8 default character set, forced writes on unless
  // the options turn them off).
  static std::unique_ptr<Database> Create(const Options& options);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const std::string& Name() const;
  bool IsOpen() const;
  void Close();  // rolls back an open transaction, then detaches
  bool InTransaction() const;  // a Transaction of this connection is open

  // True once a statement failed because the link to the database was lost; a Reconnect clears it.
  bool ConnectionLost() const;
  // Drops the attachment (whatever state it is in) and attaches again with the same options. Raises DbError
  // when the database cannot be reached; ConnectionLost() stays true then.
  void Reconnect();
  // One trivial statement: raises DbError when the database does not answer.
  void Ping();

  void Execute(std::string_view sql, const std::vector<Param>& params = {});
  // Like Execute; returns how many rows the statement inserted, updated or deleted.
  std::uint64_t ExecuteCounted(std::string_view sql, const std::vector<Param>& params = {});
  std::vector<Row> Query(std::string_view sql, const std::vector<Param>& params = {});
  std::optional<Row> QueryFirst(std::string_view sql, const std::vector<Param>& params = {});

  // While a Transaction lives, every statement of this connection runs in it. Commit() makes its work
  // durable; destroying it uncommitted rolls everything back. Transactions do not nest.
  class Transaction {
   public:
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();
    void Rollback();

   private:
    Database* m_database;
    bool m_done = false;
  };

  struct Impl;

 private:
  explicit Database(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace telvano::db
