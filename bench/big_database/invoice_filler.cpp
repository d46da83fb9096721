#include "invoice_filler.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "db/database.h"
#include "db/schema.h"
#include "db/settings.h"
#include "firebird_insert.h"
#include "generated_shop.h"

namespace telvano::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Keys of my_reg that describe a finished fill.
constexpr const char* kKeyInvoices = "BENCH_FILL_INVOICES";
constexpr const char* kKeyRows = "BENCH_FILL_ROWS";
constexpr const char* kKeyMonth = "BENCH_REPORT_MONTH";
constexpr const char* kKeyMonthInvoices = "BENCH_REPORT_MONTH_INVOICES";
constexpr const char* kKeySeconds = "BENCH_FILL_SECONDS";

const std::string kRequestedBy = "YJLQTEQR";
const std::string kSignedBy = "YJLQTEQR";
const std::string kUrlHead = "https://sandbox.suf.purs.gov.rs/v/?vl=";
const char* const kCashiers[] = {"Петар Петровић", "Ана Јовановић", "Marko Marković", "Jelena Ilić",
                                 "Милица Николић"};

// A new database file with the program's schema, forced writes off while it fills.
void CreateEmptyDatabase(const std::string& path) {
  db::Database::Options create = db::Database::Options::For(path);
  create.forcedWrites = false;  // switched on at the end
  auto database = db::Database::Create(create);
  db::CreateSchema(*database);
  database->Close();
}

// The five inserts of an invoice, prepared once on the filling attachment.
struct InvoiceInserts {
  explicit InvoiceInserts(Session& session)
      : request(session,
                "insert into inv_request(inv_uuid, ext_filename, date_and_time_of_issue, invoice_type, "
                "transaction_type, cashier, buyer_id, invoice_number, referent_document_number, "
                "referent_document_dt, sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {Text(36), Text(255), Text(50), Text(20), Text(20), Text(50), Text(50), Text(60), Text(60),
                 Text(50), Text(20)}),
        sale(session,
             "insert into inv_sale_items(inv_uuid, row_num, gtin, name, unit_price, quantity, uom, total_amount, "
             "labels, cashier, it_type, labels_cyr, requested_by, signed_by, sdc_date_time, invoice_number, "
             "sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             {Text(36), kInteger, Text(50), Text(512), kAmount, kAmount, Text(20), kAmount, Text(30), Text(50),
              Text(10), Text(10), Text(32), Text(32), Text(40), Text(60), Text(20)}),
        pay(session,
            "insert into inv_pay_items(inv_uuid, row_num, amount, payment_type, cashier, it_type, requested_by, "
            "signed_by, sdc_date_time, invoice_number, sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {Text(36), kInteger, kAmount, Text(30), Text(50), Text(10), Text(32), Text(32), Text(40), Text(60),
             Text(20)}),
        response(session,
                 "insert into inv_response(inv_uuid, requested_by, signed_by, sdc_date_time, invoice_counter, "
                 "invoice_counter_extension, invoice_number, verification_url, total_counter, "
                 "transaction_type_counter, total_amount, business_name, location_name, address, tin, district, "
                 "tax_group_revision, mrc, messages, sdc_date, esir_version, it_type) "
                 "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {Text(36), Text(32),  Text(32),  Text(40), Text(60), Text(60), Text(60), {Kind::Text, 1444},
                  kInteger, kInteger,  kAmount,   Text(50), Text(50), Text(50), Text(20), Text(50),
                  Text(20), Text(100), Text(250), Text(20), Text(50), Text(10)}),
        tax(session,
            "insert into inv_tax_items(inv_uuid, group_id, label, rate, category_type, category_name, amount, "
            "sdc_date_time, invoice_number, sdc_date, requested_by, signed_by, it_type, label_cyr) "
            "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {Text(36), kInteger, Text(10), kAmount, kInteger, Text(32), kAmount, Text(40), Text(60), Text(20),
             Text(32), Text(32), Text(10), Text(10)}) {}

  Insert request;
  Insert sale;
  Insert pay;
  Insert response;
  Insert tax;
};

// A signed sale that a later refund may refer to.
struct Sold {
  std::string number;
  std::string dateTime;
};

// What the rows of one invoice repeat.
struct InvoiceFacts {
  std::string uuid;
  std::string number;
  std::string date;      // "yyyy-mm-dd"
  std::string dateTime;  // the date, "Thh:mm:ss.fffffff" and the offset
  std::string cashier;
  std::string itType;     // "NS" or "NR"
  std::string extension;  // "ПП" or "ПР"
  std::string posNumber;
  std::int64_t totalCounter = 0;
  std::int64_t typeCounter = 0;
  bool refund = false;
};

// The counters of the processor and the sales a refund may refer to, carried from invoice to invoice.
struct FillCounters {
  std::int64_t total = 0;
  std::int64_t sales = 0;
  std::int64_t refunds = 0;
  std::vector<Sold> recentSales;
};

// The time of invoice `i` of `month`: spread evenly over the days, and over 07:00 to 22:00 within a day.
void SetInvoiceTime(const MonthPlan& month, std::int64_t i, Random& random, InvoiceFacts& facts) {
  const unsigned monthLength = static_cast<unsigned>((month.month / std::chrono::last).day());
  const unsigned firstDay = monthLength - month.days + 1;
  const bool summer =
      static_cast<unsigned>(month.month.month()) >= 4 && static_cast<unsigned>(month.month.month()) <= 10;
  const std::string offset = summer ? "+02:00" : "+01:00";
  const std::int64_t day = i * month.days / month.count;
  const std::int64_t dayFirst = (day * month.count + month.days - 1) / month.days;
  const std::int64_t dayNext = ((day + 1) * month.count + month.days - 1) / month.days;
  const std::int64_t ofDay = std::max<std::int64_t>(1, dayNext - dayFirst);
  const std::int64_t secondOfDay = 7 * 3600 + ((i - dayFirst) * 15 * 3600 + random.Below(30)) / ofDay;
  facts.date = MonthText(month.month) + "-" + Two(firstDay + static_cast<unsigned>(day));
  char clock[32];
  std::snprintf(clock, sizeof clock, "T%02d:%02d:%02d.%07d", static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60),
                random.Below(10000000));
  facts.dateTime = facts.date + clock + offset;
}

// The next invoice of `month`: a sale, or now and then a refund of a recent sale.
InvoiceFacts NextInvoice(const MonthPlan& month, std::int64_t i, Random& random, FillCounters& counters) {
  InvoiceFacts facts;
  SetInvoiceTime(month, i, random, facts);
  facts.refund = random.Chance(5) && !counters.recentSales.empty();
  facts.itType = facts.refund ? "NR" : "NS";
  facts.extension = facts.refund ? "ПР" : "ПП";
  facts.typeCounter = facts.refund ? ++counters.refunds : ++counters.sales;
  facts.totalCounter = ++counters.total;
  facts.uuid = Uuid(random);
  facts.number = kRequestedBy + "-" + kSignedBy + "-" + std::to_string(facts.totalCounter);
  facts.cashier = kCashiers[random.Below(std::size(kCashiers))];
  facts.posNumber = "B-" + std::to_string(100000 + facts.totalCounter);
  return facts;
}

void WriteRequest(Insert& request, Random& random, const InvoiceFacts& facts,
                  const std::vector<Sold>& recentSales) {
  request.Clear();
  request.Set(0, facts.uuid)
      .Set(1, "INV_" + facts.itType + "_" + std::to_string(facts.totalCounter) + ".CSV")
      .Set(3, std::string_view("N"))
      .Set(4, std::string_view(facts.refund ? "R" : "S"))
      .Set(5, facts.cashier)
      .Set(7, facts.posNumber)
      .Set(10, facts.date);
  if (random.Chance(50)) request.Set(2, facts.dateTime);
  if (random.Chance(3)) request.Set(6, "10:1" + std::to_string(100000000 + random.Below(899999999)));
  if (facts.refund) {
    const Sold& original = recentSales[random.Below(static_cast<int>(recentSales.size()))];
    request.Set(8, original.number).Set(9, original.dateTime);
  }
  request.Run();
}

// Items: 1 to 5 (mostly few), each an article of the catalogue. Adds each line to `byLabel` and `total4`
// and returns how many items were written.
int WriteSaleItems(Insert& sale, Random& random, const std::vector<Article>& catalog, const InvoiceFacts& facts,
                   std::array<std::int64_t, kLabels.size()>& byLabel, std::int64_t& total4) {
  const int roll = random.Below(100);
  const int items = roll < 35 ? 1 : roll < 60 ? 2 : roll < 80 ? 3 : roll < 92 ? 4 : 5;
  for (int row = 0; row < items; ++row) {
    const Article& article = catalog[random.Below(static_cast<int>(catalog.size()))];
    const std::int64_t quantity4 = std::string_view(article.uom) == "kom"
                                       ? 10000 * (1 + (random.Chance(80) ? 0 : random.Below(3)))
                                       : 2500 + 50 * random.Below(350);
    const std::int64_t line4 = (article.priceCents * quantity4 + 5000) / 10000 * 100;  // whole cents
    byLabel[article.label] += line4;
    total4 += line4;
    sale.Clear();
    sale.Set(0, facts.uuid)
        .Set(1, std::int64_t{row})
        .Set(2, article.gtin)
        .Set(3, article.name)
        .Set(4, article.priceCents * 100)
        .Set(5, quantity4)
        .Set(6, std::string_view(article.uom))
        .Set(7, line4)
        .Set(8, std::string_view(kLabels[article.label].letter))
        .Set(9, facts.cashier)
        .Set(10, facts.itType)
        .Set(11, std::string_view(kLabels[article.label].code))
        .Set(12, kRequestedBy)
        .Set(13, kSignedBy)
        .Set(14, facts.dateTime)
        .Set(15, facts.number)
        .Set(16, facts.date);
    sale.Run();
  }
  return items;
}

// Payments: one, or cash and card. Returns how many were written.
int WritePayments(Insert& pay, Random& random, const InvoiceFacts& facts, std::int64_t total4) {
  const int payType = random.Below(100);
  const bool split = random.Chance(15) && total4 >= 200 * 10000;
  const std::int64_t first4 = split ? (total4 / 10000 / 2 / 100 * 100) * 10000 : total4;
  const char* firstType = split          ? "Cash"
                          : payType < 55 ? "Cash"
                          : payType < 95 ? "Card"
                                         : "WireTransfer";
  for (int row = 0; row < (split ? 2 : 1); ++row) {
    pay.Clear();
    pay.Set(0, facts.uuid)
        .Set(1, std::int64_t{row})
        .Set(2, row == 0 ? first4 : total4 - first4)
        .Set(3, std::string_view(row == 0 ? firstType : "Card"))
        .Set(4, facts.cashier)
        .Set(5, facts.itType)
        .Set(6, kRequestedBy)
        .Set(7, kSignedBy)
        .Set(8, facts.dateTime)
        .Set(9, facts.number)
        .Set(10, facts.date);
    pay.Run();
  }
  return split ? 2 : 1;
}

void WriteResponse(Insert& response, Random& random, const InvoiceFacts& facts, std::int64_t total4) {
  response.Clear();
  response.Set(0, facts.uuid)
      .Set(1, kRequestedBy)
      .Set(2, kSignedBy)
      .Set(3, facts.dateTime)
      .Set(4, std::to_string(facts.typeCounter) + "/" + std::to_string(facts.totalCounter) + facts.extension)
      .Set(5, facts.extension)
      .Set(6, facts.number)
      .Set(7, kUrlHead + RandomUrlPart(random, 796))
      .Set(8, facts.totalCounter)
      .Set(9, facts.typeCounter)
      .Set(10, total4)
      .Set(11, std::string_view("ТЕСТ ПРОДАВНИЦА"))
      .Set(12, std::string_view("ТЕСТ ПРОДАВНИЦА"))
      .Set(13, std::string_view("ХЕРОЈА МИЛАНА ТЕПИЋА 13"))
      .Set(14, std::string_view("RS111911206"))
      .Set(15, std::string_view("Београд"))
      .Set(16, std::to_string(kTaxGroup))
      .Set(17, "00-1002-" + kRequestedBy)
      .Set(18, std::string_view("Success"))
      .Set(19, facts.date)
      .Set(20, facts.posNumber)
      .Set(21, facts.itType);
  response.Run();
}

// One tax item per label the invoice used; returns how many were written.
std::int64_t WriteTaxItems(Insert& tax, const InvoiceFacts& facts,
                           const std::array<std::int64_t, kLabels.size()>& byLabel) {
  std::int64_t rows = 0;
  for (std::size_t label = 0; label < kLabels.size(); ++label) {
    if (byLabel[label] == 0) continue;
    tax.Clear();
    tax.Set(0, facts.uuid)
        .Set(1, std::int64_t{kTaxGroup})
        .Set(2, std::string_view(kLabels[label].letter))
        .Set(3, std::int64_t{kLabels[label].rate} * 10000)
        .Set(4, std::int64_t{0})
        .Set(5, std::string_view(kLabels[label].category))
        .Set(6, TaxIncluded(byLabel[label], kLabels[label].rate))
        .Set(7, facts.dateTime)
        .Set(8, facts.number)
        .Set(9, facts.date)
        .Set(10, kRequestedBy)
        .Set(11, kSignedBy)
        .Set(12, facts.itType)
        .Set(13, std::string_view(kLabels[label].code));
    tax.Run();
    ++rows;
  }
  return rows;
}

// All rows of one invoice; returns how many.
std::int64_t WriteInvoice(InvoiceInserts& inserts, Random& random, const std::vector<Article>& catalog,
                          const InvoiceFacts& facts, const std::vector<Sold>& recentSales) {
  WriteRequest(inserts.request, random, facts, recentSales);
  std::array<std::int64_t, kLabels.size()> byLabel{};
  std::int64_t total4 = 0;
  const int items = WriteSaleItems(inserts.sale, random, catalog, facts, byLabel, total4);
  const int payments = WritePayments(inserts.pay, random, facts, total4);
  WriteResponse(inserts.response, random, facts, total4);
  return WriteTaxItems(inserts.tax, facts, byLabel) + 2 + items + payments;
}

// A refund refers to one of the last 200 sales.
void RememberSale(const InvoiceFacts& facts, std::vector<Sold>& recentSales) {
  if (recentSales.size() < 200)
    recentSales.push_back({facts.number, facts.dateTime});
  else
    recentSales[static_cast<std::size_t>(facts.totalCounter % 200)] = {facts.number, facts.dateTime};
}

// Stores the invoices of `plan` through one attachment, committing every options.batch invoices.
void FillInvoices(const std::string& path, const FillOptions& options, const std::vector<MonthPlan>& plan,
                  const std::function<void(std::int64_t stored)>& progress, FillResult& result) {
  Random random(options.seed);
  const std::vector<Article> catalog = MakeCatalog(random);
  Session session(path, options.cacheBuffers, -1);
  session.Begin();
  InvoiceInserts inserts(session);
  FillCounters counters;
  std::int64_t stored = 0;
  std::int64_t inTransaction = 0;
  const std::int64_t reportEvery = std::max<std::int64_t>(1, options.invoices / 10);
  for (const MonthPlan& month : plan) {
    for (std::int64_t i = 0; i < month.count; ++i) {
      const InvoiceFacts facts = NextInvoice(month, i, random, counters);
      result.rows += WriteInvoice(inserts, random, catalog, facts, counters.recentSales);
      if (!facts.refund) RememberSale(facts, counters.recentSales);
      ++stored;
      if (options.batch > 0 && ++inTransaction >= options.batch) {
        session.Commit();
        session.Begin();
        inTransaction = 0;
      }
      if (progress && stored % reportEvery == 0) progress(stored);
    }
  }
  session.Commit();
  result.invoices = stored;
}

}  // namespace

FillResult FillDatabase(const std::string& path, const FillOptions& options,
                        const std::function<void(std::int64_t stored)>& progress) {
  if (std::filesystem::exists(path)) throw std::runtime_error("the file exists already: " + path);
  const auto start = Clock::now();
  CreateEmptyDatabase(path);

  FillResult result;
  const std::vector<MonthPlan> plan = PlanMonths(options.invoices, options.perMonth);
  result.reportMonth = MonthText(plan.back().month);
  result.reportMonthInvoices = plan.back().count;
  FillInvoices(path, options, plan, progress, result);
  { Session forced(path, 0, 1); }  // forced writes on from here, as in the program's databases
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();

  auto database = db::Database::Attach(db::Database::Options::For(path));
  db::WriteSetting(*database, kKeyRows, std::to_string(result.rows));
  db::WriteSetting(*database, kKeyMonth, result.reportMonth);
  db::WriteSetting(*database, kKeyMonthInvoices, std::to_string(result.reportMonthInvoices));
  db::WriteSetting(*database, kKeySeconds, std::to_string(result.seconds));
  db::WriteSetting(*database, kKeyInvoices, std::to_string(result.invoices));  // last: the fill is complete
  database->Close();
  return result;
}

FillResult ReadFillResult(const std::string& path) {
  FillResult result;
  auto database = db::Database::Attach(db::Database::Options::For(path));
  const std::string invoices = db::ReadSetting(*database, kKeyInvoices);
  if (invoices.empty()) return result;
  result.invoices = std::stoll(invoices);
  result.rows = std::stoll(db::ReadSetting(*database, kKeyRows));
  result.reportMonth = db::ReadSetting(*database, kKeyMonth);
  result.reportMonthInvoices = std::stoll(db::ReadSetting(*database, kKeyMonthInvoices));
  result.seconds = std::stod(db::ReadSetting(*database, kKeySeconds));
  database->Close();
  return result;
}

std::vector<std::string> StatementPlans(const std::string& path, const std::vector<std::string>& statements) {
  Session session(path, 0, -1);
  session.Begin();
  std::vector<std::string> plans;
  for (const std::string& sql : statements) {
    session.Guard([&] {
      auto& status = session.Status();
      fb::IStatement* statement =
          session.Attachment()->prepare(&status, session.Transaction(), 0, sql.c_str(), SQL_DIALECT_V6, 0);
      const char* plan = statement->getPlan(&status, false);
      plans.emplace_back(plan ? plan : "");
      statement->free(&status);
    });
  }
  session.Commit();
  return plans;
}

}  // namespace telvano::bench
