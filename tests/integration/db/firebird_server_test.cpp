// The database layer against a real Firebird server that goes away and comes back
// (tests/support/firebird_server.h).
#include "support/firebird_server.h"
#include "db/database.h"
#include "db/settings.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace telvano::db {
namespace {

using testing::FirebirdServer;

class FirebirdServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
    m_server = std::make_unique<FirebirdServer>();
    m_server->Start();
    m_options = Database::Options::For(m_server->CreateDatabase(m_folder.Path() / "telvano.fdb"));
    m_options.password = m_server->Password();
  }

  void TearDown() override {
    // Detach before the server lock is released and the folder goes.
    m_database.reset();
    m_server.reset();
  }

  testing::TempDir m_folder;
  std::unique_ptr<FirebirdServer> m_server;
  Database::Options m_options;
  std::unique_ptr<Database> m_database;
};

TEST_F(FirebirdServerTest, StatementFailsWhileTheServerIsDownAndANewAttachmentWorksOnceItIsBack) {
  ASSERT_EQ(m_options.name.rfind("localhost:/", 0), 0u) << m_options.name;
  m_database = Database::Attach(m_options);
  WriteSetting(*m_database, "SERVER_CHECK", "before the stop");
  EXPECT_EQ(ReadSetting(*m_database, "SERVER_CHECK"), "before the stop");

  m_server->Stop();
  EXPECT_FALSE(m_server->Running());
  EXPECT_THROW(ReadSetting(*m_database, "SERVER_CHECK"), DbError);
  EXPECT_THROW(Database::Attach(m_options), DbError);

  m_server->Start();
  EXPECT_THROW(ReadSetting(*m_database, "SERVER_CHECK"), DbError);  // the old attachment stays dead
  auto again = Database::Attach(m_options);
  EXPECT_EQ(ReadSetting(*again, "SERVER_CHECK"), "before the stop");  // committed before the stop
  WriteSetting(*again, "SERVER_CHECK", "after the start");
  EXPECT_EQ(ReadSetting(*again, "SERVER_CHECK"), "after the start");
}

// The embedded engines of other test processes add and remove their databases' lock files all the time in the
// lock folder that the server shares with them (the server is started as root and hands that folder to its
// user). A file that goes away meanwhile must not fail the start.
TEST_F(FirebirdServerTest, StartsWhileOthersAddAndRemoveFilesInTheLockFolder) {
  const std::string prefix = "/tmp/firebird/telvano-lock-churn-" + std::to_string(getpid()) + "-";
  std::atomic<bool> done{false};
  std::thread churn([&] {
    for (unsigned n = 0; !done; ++n) {
      const std::string name = prefix + std::to_string(n % 256);
      const int file = open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
      if (file >= 0) close(file);
      unlink(name.c_str());
    }
  });
  int started = 0;
  for (int round = 0; round < 5; ++round) {
    try {
      m_server->Stop();
      m_server->Start();
      ++started;
    } catch (const std::exception& failure) {
      ADD_FAILURE() << "round " << round << ": " << failure.what();
      break;
    }
  }
  done = true;
  churn.join();
  EXPECT_EQ(started, 5);
  m_database = Database::Attach(m_options);
  EXPECT_FALSE(ReadSetting(*m_database, kDbVersionKey).empty());
}

TEST_F(FirebirdServerTest, ServerRefusesAWrongPassword) {
  Database::Options wrong = m_options;
  wrong.password = m_options.password + "-wrong";
  EXPECT_THROW(Database::Attach(wrong), DbError);
  m_database = Database::Attach(m_options);
  EXPECT_FALSE(ReadSetting(*m_database, kDbVersionKey).empty());
}

}  // namespace
}  // namespace telvano::db
