// Speed of the database layer as TELVANO uses it: one embedded connection, every statement committed on
// its own, forced writes on (each commit reaches the disk before it returns).
// Usage: bench_db [folder]   (default: a new folder below the system's temporary folder, removed at the end)
#include "db/database.h"
#include "db/schema.h"
#include "db/settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using telvano::db::Database;
using telvano::db::Decimal;
using Clock = std::chrono::steady_clock;

struct Figures {
  double totalMs = 0;
  double meanUs = 0;
  double p50Us = 0;
  double p99Us = 0;
};

// Runs `operation` `count` times and measures each run.
Figures Measure(int count, const std::function<void(int)>& operation) {
  std::vector<double> samples;
  samples.reserve(count);
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    auto before = Clock::now();
    operation(i);
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
  }
  Figures figures;
  figures.totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::sort(samples.begin(), samples.end());
  double sum = 0;
  for (double sample : samples) sum += sample;
  figures.meanUs = sum / count;
  figures.p50Us = samples[count / 2];
  figures.p99Us = samples[std::min<std::size_t>(count - 1, count * 99 / 100)];
  return figures;
}

void Print(const char* name, int count, const Figures& figures) {
  std::printf("%-48s %6d ops  total %9.1f ms  mean %9.1f us  p50 %9.1f us  p99 %9.1f us  %8.0f ops/s\n", name,
              count, figures.totalMs, figures.meanUs, figures.p50Us, figures.p99Us,
              count / (figures.totalMs / 1000.0));
}

// The settings store: new keys, existing keys, reads, and a write read back.
void MeasureSettings(Database& database) {
  const int settings = 100;
  Print("WriteSetting (new key: insert)", settings, Measure(settings, [&](int i) {
          telvano::db::WriteSetting(database, "bench_key_" + std::to_string(i), "00-0001-" + std::to_string(i));
        }));
  Print("WriteSetting (existing key: insert fails, update)", settings, Measure(settings, [&](int i) {
          telvano::db::WriteSetting(database, "bench_key_" + std::to_string(i), "value " + std::to_string(i));
        }));
  Print("ReadSetting", settings, Measure(settings, [&](int i) {
          if (telvano::db::ReadSetting(database, "bench_key_" + std::to_string(i)).empty()) throw 1;
        }));
  Print("WriteSetting + ReadSetting round trip", settings, Measure(settings, [&](int i) {
          std::string key = "SDC_MRC_" + std::to_string(i % 10);
          telvano::db::WriteSetting(database, key, "mrc " + std::to_string(i));
          if (telvano::db::ReadSetting(database, key) != "mrc " + std::to_string(i)) throw 2;
        }));
}

// Rows of inv_pay_items, each committed on its own and all in one transaction.
void MeasureInserts(Database& database) {
  const int rows = 1000;
  const std::string uuid = "0b7e2f6c-1d2a-4c8e-9f00-123456789abc";
  Print("single-row insert, own commit each (x1000)", rows, Measure(rows, [&](int i) {
          database.Execute(
              "insert into inv_pay_items(inv_uuid, row_num, amount, payment_type, cashier, it_type) "
              "values(?, ?, ?, ?, ?, ?)",
              {uuid, std::int64_t{i}, Decimal{12050 + i, 2}, std::string("Cash"), std::string("Petar"),
               std::string("NS")});
        }));
  database.Execute("delete from inv_pay_items");
  Figures inOne;
  {
    Database::Transaction transaction(database);
    inOne = Measure(rows, [&](int i) {
      database.Execute("insert into inv_pay_items(inv_uuid, row_num, amount) values(?, ?, ?)",
                       {uuid, std::int64_t{i}, std::string("120.50")});
    });
    auto commitStart = Clock::now();
    transaction.Commit();
    inOne.totalMs += std::chrono::duration<double, std::milli>(Clock::now() - commitStart).count();
  }
  Print("single-row insert, one transaction (x1000)", rows, inOne);
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  bool ownFolder = argc < 2;
  fs::path folder = ownFolder ? fs::temp_directory_path() / ("telvano-bench-db-" + std::to_string(std::random_device{}()))
                              : fs::path(argv[1]);
  fs::create_directories(folder);
  const std::string path = (folder / "bench.fdb").string();
  fs::remove(path);
  try {
    auto createStart = Clock::now();
    auto database = Database::Create(Database::Options::For(path));  // forced writes on
    telvano::db::CreateSchema(*database);
    std::printf("bench_db: %s (embedded, forced writes on)\n", path.c_str());
    std::printf("%-48s total %9.1f ms\n", "create database and schema",
                std::chrono::duration<double, std::milli>(Clock::now() - createStart).count());

    MeasureSettings(*database);

    MeasureInserts(*database);
    database->Close();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_db: %s\n", error.what());
    if (ownFolder) fs::remove_all(folder);
    return 1;
  }
  if (ownFolder) fs::remove_all(folder);
  return 0;
}
