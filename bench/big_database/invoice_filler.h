#pragma once

// Fills the five invoice tables of a new TELVANO database with generated fiscal records, the way a shop's
// database looks after months or years of work: sales and some refunds, 1 to 5 items, 1 or 2 payments, the
// processor's answer and its tax items, in time order, a fixed number of invoices per calendar month ending
// with the month before the fill. Rows go in through prepared statements with bound parameters on a raw
// Firebird attachment (the db layer prepares every statement anew, far too slow for millions of rows).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace telvano::bench {

struct FillOptions {
  std::int64_t invoices = 0;      // how many invoices to store
  std::int64_t perMonth = 30000;  // invoices of every full month; the oldest month takes the remainder
  // Invoices per transaction; 0: all of them in one transaction. Batches of 10 000 and one transaction fill
  // equally fast (about 15 s per 100 000 invoices here); batches of 1 000 take a third longer.
  std::int64_t batch = 10000;
  int cacheBuffers = 65536;       // page cache of the filling attachment (pages of 8 KB)
  std::uint64_t seed = 20240501;  // the same seed gives the same rows
};

struct FillResult {
  std::int64_t invoices = 0;
  std::int64_t rows = 0;    // rows of all five tables together
  std::string reportMonth;  // "yyyy-mm": the newest full month
  std::int64_t reportMonthInvoices = 0;
  double seconds = 0;  // database creation, schema, rows, commits and the switch to forced writes
};

// Creates `path` (which must not exist) with the program's schema, forced writes off while filling and on
// at the end (like the program's databases), and fills it. `progress` is called now and then with the
// invoices stored so far. The result is also kept in my_reg (ReadFillResult), so a reused file can say how
// it was made. Raises std::runtime_error on any database error.
FillResult FillDatabase(const std::string& path, const FillOptions& options,
                        const std::function<void(std::int64_t stored)>& progress);

// The result kept in the database by a complete fill; invoices is 0 for a file whose fill never finished.
FillResult ReadFillResult(const std::string& path);

// The access plans that Firebird chooses for these statements (one parameter each is bound at run time, so
// nothing runs), through a raw attachment of this process.
std::vector<std::string> StatementPlans(const std::string& path, const std::vector<std::string>& statements);

}  // namespace telvano::bench
