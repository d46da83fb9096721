#include <gtest/gtest.h>

#include "core/configuration.h"
#include "db/database.h"
#include "db/settings.h"
#include "support/test_database.h"

namespace telvano::core {
namespace {

Configuration ConfigurationFor(const std::string& dbFullname) {
  Configuration configuration;
  configuration.Appl_Root = "/opt/telvano";
  configuration.DB_Fullname = dbFullname;
  configuration.Exchange_Root = "/srv/ExchData";
  configuration.DeriveFolders();
  return configuration;
}

TEST(ConnectDatabase, OpensTheConfiguredDatabaseWithoutAPassword) {
  testing::TestDatabase database;
  auto connection = ConnectDatabase(ConfigurationFor(database.Path()));
  ASSERT_TRUE(connection->IsOpen());
  EXPECT_EQ(db::ReadSetting(*connection, "DB_VERSION"), "ODS13.0/FB4.0/DDL10.16");
}

TEST(ConnectDatabase, AMissingPathOrAForeignFileIsAnErrorNotACrash) {
  testing::TempDir dir;
  EXPECT_THROW(ConnectDatabase(ConfigurationFor(dir / "no-such-folder/fb.fdb")), db::DbError);
  testing::WriteFileBytes(dir / "not-a-database.fdb", std::string(20000, 'x'));
  EXPECT_THROW(ConnectDatabase(ConfigurationFor(dir / "not-a-database.fdb")), db::DbError);
}

}  // namespace
}  // namespace telvano::core
