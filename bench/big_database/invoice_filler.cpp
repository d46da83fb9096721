#include "invoice_filler.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "db/database.h"
#include "db/embedded_access.h"
#include "db/schema.h"
#include "db/settings.h"

namespace telvano::bench {

namespace {

namespace fb = Firebird;
using Clock = std::chrono::steady_clock;

constexpr unsigned kCharsetUtf8 = 4;

// Keys of my_reg that describe a finished fill.
constexpr const char* kKeyInvoices = "BENCH_FILL_INVOICES";
constexpr const char* kKeyRows = "BENCH_FILL_ROWS";
constexpr const char* kKeyMonth = "BENCH_REPORT_MONTH";
constexpr const char* kKeyMonthInvoices = "BENCH_REPORT_MONTH_INVOICES";
constexpr const char* kKeySeconds = "BENCH_FILL_SECONDS";

// ---------------------------------------------------------------------------------------------------------------
// A raw attachment with prepared inserts.

std::string StatusText(fb::IUtil* util, fb::IStatus* status) {
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

Column Text(unsigned characters) { return {Kind::Text, characters * 4}; }
constexpr Column kInteger{Kind::Integer};
constexpr Column kAmount{Kind::Amount};

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

// ---------------------------------------------------------------------------------------------------------------
// The generated shop.

class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t m_state;
};

struct TaxLabel {
  const char* letter;
  const char* code;
  int rate;
  const char* category;
};

// The processor's production rates (tax group 6).
constexpr std::array<TaxLabel, 4> kLabels{{
    {"Ђ", "06", 20, "О-ПДВ"},
    {"Е", "07", 10, "П-ПДВ"},
    {"А", "01", 0, "Није у ПДВ"},
    {"Г", "04", 0, "Без ПДВ"},
}};
constexpr int kTaxGroup = 6;

struct Article {
  std::string gtin;
  std::string name;
  std::int64_t priceCents;
  const char* uom;
  int label;  // index into kLabels
};

std::vector<Article> MakeCatalog(Random& random) {
  static const char* const kWords[] = {"Хлеб",      "Млеко",    "Јогурт", "Сир",      "Кафа",    "Чај",
                                       "Шећер",     "Брашно",   "Уље",    "Со",       "Јаја",    "Сок",
                                       "Вода",      "Пиво",     "Вино",   "Чоколада", "Кекс",    "Паштета",
                                       "Шунка",     "Кобасица", "Јабуке", "Банане",   "Кромпир", "Лук",
                                       "Детерџент", "Сапун",    "Шампон", "Пелене"};
  static const char* const kSizes[] = {"500г", "1кг", "1л", "0,5л", "250г", "200г", "2л", "100г", "10 ком"};
  std::vector<Article> catalog;
  for (int i = 0; i < 3000; ++i) {
    Article article;
    char gtin[16];
    std::snprintf(gtin, sizeof gtin, "860%010d", 1000000 + i * 37);
    article.gtin = gtin;
    article.name = std::string(kWords[random.Below(std::size(kWords))]) + " " +
                   kSizes[random.Below(std::size(kSizes))] + " арт. " + std::to_string(10000 + i);
    const int whole = 39 + random.Below(2960);
    article.priceCents = whole * 100 + (random.Chance(60) ? 99 : 0);
    const int uom = random.Below(100);
    article.uom = uom < 80 ? "kom" : uom < 95 ? "kg" : "l";
    const int label = random.Below(100);
    article.label = label < 65 ? 0 : label < 95 ? 1 : label < 98 ? 2 : 3;
    catalog.push_back(std::move(article));
  }
  return catalog;
}

// The tax contained in a price that includes it, in units of 0.0001, rounded half up.
std::int64_t TaxIncluded(std::int64_t total4, int rate) {
  if (rate == 0) return 0;
  return (total4 * rate * 2 + (100 + rate)) / (2 * (100 + rate));
}

std::string RandomUrlPart(Random& random, std::size_t length) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string text;
  text.reserve(length + 3);
  while (text.size() < length) {
    std::uint64_t bits = random.Next();
    for (int k = 0; k < 10 && text.size() < length; ++k, bits >>= 6)
      text.push_back(kAlphabet[(bits & 63) % 62]);
  }
  return text + "%3D";
}

std::string Uuid(Random& random) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint64_t high = random.Next();
  std::uint64_t low = random.Next();
  high = (high & ~0xF000ULL) | 0x4000ULL;              // version 4
  low = (low & 0x3FFFFFFFFFFFFFFFULL) | (1ULL << 63);  // RFC 4122 variant
  std::string text;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text.push_back('-');
    const std::uint64_t word = i < 16 ? high : low;
    text.push_back(kHex[(word >> (60 - 4 * (i % 16))) & 15]);
  }
  return text;
}

// One calendar month of the fill: `count` invoices over its last `days` days.
struct MonthPlan {
  std::chrono::year_month month;
  std::int64_t count;
  unsigned days;
};

std::vector<MonthPlan> PlanMonths(std::int64_t invoices, std::int64_t perMonth) {
  using namespace std::chrono;
  const year_month_day today{floor<days>(system_clock::now())};
  const year_month newest = year_month(today.year(), today.month()) - months(1);
  const std::int64_t monthCount = (invoices + perMonth - 1) / perMonth;
  std::vector<MonthPlan> plan;
  for (std::int64_t i = monthCount - 1; i >= 0; --i) {
    const year_month month = newest - months(static_cast<int>(i));
    const unsigned length = static_cast<unsigned>((month / last).day());
    const std::int64_t count = i == monthCount - 1 ? invoices - (monthCount - 1) * perMonth : perMonth;
    // A shop that opened during its first month: its invoices fill the last part of that month.
    const auto days =
        static_cast<unsigned>(std::max<std::int64_t>(1, (length * count + perMonth - 1) / perMonth));
    plan.push_back({month, count, std::min(days, length)});
  }
  return plan;
}

std::string Two(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02u", value % 100);
  return text;
}

std::string MonthText(std::chrono::year_month month) {
  return std::to_string(static_cast<int>(month.year())) + "-" + Two(static_cast<unsigned>(month.month()));
}

}  // namespace

FillResult FillDatabase(const std::string& path, const FillOptions& options,
                        const std::function<void(std::int64_t stored)>& progress) {
  if (std::filesystem::exists(path)) throw std::runtime_error("the file exists already: " + path);
  const auto start = Clock::now();
  {
    db::Database::Options create = db::Database::Options::For(path);
    create.forcedWrites = false;  // switched on at the end
    auto database = db::Database::Create(create);
    db::CreateSchema(*database);
    database->Close();
  }

  FillResult result;
  const std::vector<MonthPlan> plan = PlanMonths(options.invoices, options.perMonth);
  result.reportMonth = MonthText(plan.back().month);
  result.reportMonthInvoices = plan.back().count;

  Random random(options.seed);
  const std::vector<Article> catalog = MakeCatalog(random);
  static const char* const kCashiers[] = {"Петар Петровић", "Ана Јовановић", "Marko Marković", "Jelena Ilić",
                                          "Милица Николић"};
  const std::string requestedBy = "YJLQTEQR";
  const std::string signedBy = "YJLQTEQR";
  const std::string urlHead = "https://sandbox.suf.purs.gov.rs/v/?vl=";

  {
    Session session(path, options.cacheBuffers, -1);
    session.Begin();
    Insert request(session,
                   "insert into inv_request(inv_uuid, ext_filename, date_and_time_of_issue, invoice_type, "
                   "transaction_type, cashier, buyer_id, invoice_number, referent_document_number, "
                   "referent_document_dt, sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   {Text(36), Text(255), Text(50), Text(20), Text(20), Text(50), Text(50), Text(60), Text(60),
                    Text(50), Text(20)});
    Insert sale(
        session,
        "insert into inv_sale_items(inv_uuid, row_num, gtin, name, unit_price, quantity, uom, total_amount, "
        "labels, cashier, it_type, labels_cyr, requested_by, signed_by, sdc_date_time, invoice_number, "
        "sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Text(36), kInteger, Text(50), Text(512), kAmount, kAmount, Text(20), kAmount, Text(30), Text(50),
         Text(10), Text(10), Text(32), Text(32), Text(40), Text(60), Text(20)});
    Insert pay(
        session,
        "insert into inv_pay_items(inv_uuid, row_num, amount, payment_type, cashier, it_type, requested_by, "
        "signed_by, sdc_date_time, invoice_number, sdc_date) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Text(36), kInteger, kAmount, Text(30), Text(50), Text(10), Text(32), Text(32), Text(40), Text(60),
         Text(20)});
    Insert response(
        session,
        "insert into inv_response(inv_uuid, requested_by, signed_by, sdc_date_time, invoice_counter, "
        "invoice_counter_extension, invoice_number, verification_url, total_counter, "
        "transaction_type_counter, total_amount, business_name, location_name, address, tin, district, "
        "tax_group_revision, mrc, messages, sdc_date, esir_version, it_type) "
        "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Text(36), Text(32),  Text(32),  Text(40), Text(60), Text(60), Text(60), {Kind::Text, 1444},
         kInteger, kInteger,  kAmount,   Text(50), Text(50), Text(50), Text(20), Text(50),
         Text(20), Text(100), Text(250), Text(20), Text(50), Text(10)});
    Insert tax(
        session,
        "insert into inv_tax_items(inv_uuid, group_id, label, rate, category_type, category_name, amount, "
        "sdc_date_time, invoice_number, sdc_date, requested_by, signed_by, it_type, label_cyr) "
        "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Text(36), kInteger, Text(10), kAmount, kInteger, Text(32), kAmount, Text(40), Text(60), Text(20),
         Text(32), Text(32), Text(10), Text(10)});

    std::int64_t stored = 0;
    std::int64_t totalCounter = 0;
    std::int64_t salesCounter = 0;
    std::int64_t refundsCounter = 0;
    std::int64_t inTransaction = 0;
    struct Sold {
      std::string number;
      std::string dateTime;
    };
    std::vector<Sold> recentSales;  // what a refund refers to
    const std::int64_t reportEvery = std::max<std::int64_t>(1, options.invoices / 10);

    for (const MonthPlan& month : plan) {
      const unsigned monthLength = static_cast<unsigned>((month.month / std::chrono::last).day());
      const unsigned firstDay = monthLength - month.days + 1;
      const bool summer =
          static_cast<unsigned>(month.month.month()) >= 4 && static_cast<unsigned>(month.month.month()) <= 10;
      const std::string offset = summer ? "+02:00" : "+01:00";
      for (std::int64_t i = 0; i < month.count; ++i) {
        // Spread evenly over the days, and over 07:00 to 22:00 within a day.
        const std::int64_t day = i * month.days / month.count;
        const std::int64_t dayFirst = (day * month.count + month.days - 1) / month.days;
        const std::int64_t dayNext = ((day + 1) * month.count + month.days - 1) / month.days;
        const std::int64_t ofDay = std::max<std::int64_t>(1, dayNext - dayFirst);
        const std::int64_t secondOfDay = 7 * 3600 + ((i - dayFirst) * 15 * 3600 + random.Below(30)) / ofDay;
        const std::string date = MonthText(month.month) + "-" + Two(firstDay + static_cast<unsigned>(day));
        char clock[32];
        std::snprintf(clock, sizeof clock, "T%02d:%02d:%02d.%07d", static_cast<int>(secondOfDay / 3600),
                      static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60),
                      random.Below(10000000));
        const std::string dateTime = date + clock + offset;

        const bool refund = random.Chance(5) && !recentSales.empty();
        const std::string itType = refund ? "NR" : "NS";
        const std::string extension = refund ? "ПР" : "ПП";
        const std::int64_t typeCounter = refund ? ++refundsCounter : ++salesCounter;
        ++totalCounter;
        const std::string uuid = Uuid(random);
        const std::string number = requestedBy + "-" + signedBy + "-" + std::to_string(totalCounter);
        const std::string cashier = kCashiers[random.Below(std::size(kCashiers))];
        const std::string posNumber = "B-" + std::to_string(100000 + totalCounter);

        request.Clear();
        request.Set(0, uuid)
            .Set(1, "INV_" + itType + "_" + std::to_string(totalCounter) + ".CSV")
            .Set(3, std::string_view("N"))
            .Set(4, std::string_view(refund ? "R" : "S"))
            .Set(5, cashier)
            .Set(7, posNumber)
            .Set(10, date);
        if (random.Chance(50)) request.Set(2, date + clock + offset);
        if (random.Chance(3)) request.Set(6, "10:1" + std::to_string(100000000 + random.Below(899999999)));
        if (refund) {
          const Sold& original = recentSales[random.Below(static_cast<int>(recentSales.size()))];
          request.Set(8, original.number).Set(9, original.dateTime);
        }
        request.Run();

        // Items: 1 to 5 (mostly few), each an article of the catalogue.
        const int roll = random.Below(100);
        const int items = roll < 35 ? 1 : roll < 60 ? 2 : roll < 80 ? 3 : roll < 92 ? 4 : 5;
        std::array<std::int64_t, kLabels.size()> byLabel{};
        std::int64_t total4 = 0;
        for (int row = 0; row < items; ++row) {
          const Article& article = catalog[random.Below(static_cast<int>(catalog.size()))];
          const std::int64_t quantity4 = std::string_view(article.uom) == "kom"
                                             ? 10000 * (1 + (random.Chance(80) ? 0 : random.Below(3)))
                                             : 2500 + 50 * random.Below(350);
          const std::int64_t line4 = (article.priceCents * quantity4 + 5000) / 10000 * 100;  // whole cents
          byLabel[article.label] += line4;
          total4 += line4;
          sale.Clear();
          sale.Set(0, uuid)
              .Set(1, std::int64_t{row})
              .Set(2, article.gtin)
              .Set(3, article.name)
              .Set(4, article.priceCents * 100)
              .Set(5, quantity4)
              .Set(6, std::string_view(article.uom))
              .Set(7, line4)
              .Set(8, std::string_view(kLabels[article.label].letter))
              .Set(9, cashier)
              .Set(10, itType)
              .Set(11, std::string_view(kLabels[article.label].code))
              .Set(12, requestedBy)
              .Set(13, signedBy)
              .Set(14, dateTime)
              .Set(15, number)
              .Set(16, date);
          sale.Run();
        }

        // Payments: one, or cash and card.
        const int payType = random.Below(100);
        const bool split = random.Chance(15) && total4 >= 200 * 10000;
        const std::int64_t first4 = split ? (total4 / 10000 / 2 / 100 * 100) * 10000 : total4;
        const char* firstType = split          ? "Cash"
                                : payType < 55 ? "Cash"
                                : payType < 95 ? "Card"
                                               : "WireTransfer";
        for (int row = 0; row < (split ? 2 : 1); ++row) {
          pay.Clear();
          pay.Set(0, uuid)
              .Set(1, std::int64_t{row})
              .Set(2, row == 0 ? first4 : total4 - first4)
              .Set(3, std::string_view(row == 0 ? firstType : "Card"))
              .Set(4, cashier)
              .Set(5, itType)
              .Set(6, requestedBy)
              .Set(7, signedBy)
              .Set(8, dateTime)
              .Set(9, number)
              .Set(10, date);
          pay.Run();
        }

        response.Clear();
        response.Set(0, uuid)
            .Set(1, requestedBy)
            .Set(2, signedBy)
            .Set(3, dateTime)
            .Set(4, std::to_string(typeCounter) + "/" + std::to_string(totalCounter) + extension)
            .Set(5, extension)
            .Set(6, number)
            .Set(7, urlHead + RandomUrlPart(random, 796))
            .Set(8, totalCounter)
            .Set(9, typeCounter)
            .Set(10, total4)
            .Set(11, std::string_view("ТЕСТ ПРОДАВНИЦА"))
            .Set(12, std::string_view("ТЕСТ ПРОДАВНИЦА"))
            .Set(13, std::string_view("ХЕРОЈА МИЛАНА ТЕПИЋА 13"))
            .Set(14, std::string_view("RS111911206"))
            .Set(15, std::string_view("Београд"))
            .Set(16, std::to_string(kTaxGroup))
            .Set(17, "00-1002-" + requestedBy)
            .Set(18, std::string_view("Success"))
            .Set(19, date)
            .Set(20, posNumber)
            .Set(21, itType);
        response.Run();

        for (std::size_t label = 0; label < kLabels.size(); ++label) {
          if (byLabel[label] == 0) continue;
          tax.Clear();
          tax.Set(0, uuid)
              .Set(1, std::int64_t{kTaxGroup})
              .Set(2, std::string_view(kLabels[label].letter))
              .Set(3, std::int64_t{kLabels[label].rate} * 10000)
              .Set(4, std::int64_t{0})
              .Set(5, std::string_view(kLabels[label].category))
              .Set(6, TaxIncluded(byLabel[label], kLabels[label].rate))
              .Set(7, dateTime)
              .Set(8, number)
              .Set(9, date)
              .Set(10, requestedBy)
              .Set(11, signedBy)
              .Set(12, itType)
              .Set(13, std::string_view(kLabels[label].code));
          tax.Run();
          ++result.rows;
        }
        result.rows += 2 + items + (split ? 2 : 1);

        if (!refund) {
          if (recentSales.size() < 200)
            recentSales.push_back({number, dateTime});
          else
            recentSales[static_cast<std::size_t>(totalCounter % 200)] = {number, dateTime};
        }
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
