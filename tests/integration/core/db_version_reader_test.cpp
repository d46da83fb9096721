#include <gtest/gtest.h>

#include "core/db_version_reader.h"
#include "core/headless_yellow_msg_view.h"
#include "db/database.h"
#include "support/test_database.h"

namespace telvano::core {
namespace {

// The information line reads the schema level from the live connection and survives losing it.
TEST(DbVersionReader, InformationLineWithAnOpenAClosedAndNoDatabase) {
  testing::TestDatabase database(db::SchemaLevel::Ddl10_10);
  std::unique_ptr<db::Database> connection =
      db::Database::Attach(db::Database::Options::For(database.Path()));

  testing::TempDir logs;
  Configuration configuration;
  configuration.LogsDir = logs.Path().string();
  WorkingState state;
  platform::ManualClock clock;
  LogWriter log(configuration, clock);
  std::ostringstream sink;
  HeadlessYellowMsgView view(sink);
  TFormYellowMsg window(configuration, state, clock, log, view, DbVersionFrom(connection));

  const std::string prefix = "2024-03-01 08:15:02 |  |  |  |  | LPFR | r10.0.023 / ";
  EXPECT_EQ(window.StatusInfoLine(), prefix + "10.10");
  connection->Close();
  EXPECT_EQ(window.StatusInfoLine(), prefix);
  connection.reset();
  EXPECT_EQ(window.StatusInfoLine(), prefix);
  window.ShowMessageNo(2);
  EXPECT_EQ(window.LastContent().Info, "Info: " + prefix);
}

}  // namespace
}  // namespace telvano::core
