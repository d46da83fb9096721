#include <gtest/gtest.h>

#include "core/working_certificate.h"
#include "db/database.h"
#include "support/test_database.h"

namespace telvano::core {
namespace {

class RecordingMessages final : public MessageService {
 public:
  void ShowMessageNo(int no) override { numbers.push_back(no); }
  void ShowMessageText(int no, const std::string&, const std::string&) override { numbers.push_back(no); }
  void ShowProcessorError(const std::string&) override { numbers.push_back(19); }
  void ShowInfo(const std::string& text) override { infos.push_back(text); }
  std::vector<int> numbers;
  std::vector<std::string> infos;
};

class WorkingCertificateTest : public ::testing::Test {
 protected:
  WorkingCertificateTest() {
    m_connection = db::Database::Attach(db::Database::Options::For(m_database.Path()));
  }

  void AddCertificate(const std::string& serial, const std::string& unit, const std::string& envName,
                      const std::string& lpfr, const std::string& url = "http://127.0.0.1:7777") {
    m_connection->Execute(
        "insert into cert_se(serial,not_after,ind_lpfr,sub_tin,sub_ou,srv_url,env_name) "
        "values(?,?,?,?,?,?,?)",
        {serial, std::string("2026-01-31 23:59:59"), lpfr, std::string("100200300"), unit, url,
         db::SqlValue(envName)});
  }

  testing::TestDatabase m_database;
  std::unique_ptr<db::Database> m_connection;
  RecordingMessages m_messages;
  WorkingState m_state;
  WorkingCertificate m_certificate{m_state, m_connection, m_messages};
};

TEST_F(WorkingCertificateTest, TheOnlyRowIsTakenForAnEmptySerial) {
  AddCertificate("AB12CD34", "ПРОДАВНИЦА 12", "суф продукција", "N", "https://vpfr.example/");
  ASSERT_TRUE(m_certificate.LoadWorkingCertificate(""));
  EXPECT_EQ(m_state.WorkSerial, "AB12CD34");
  EXPECT_EQ(m_state.WorkTin, "100200300");
  EXPECT_EQ(m_state.WorkUnit, "ПРОДАВН");  // 7 characters, not 7 bytes
  EXPECT_EQ(m_state.WorkUrl, "https://vpfr.example/");
  EXPECT_FALSE(m_state.WorkIsLpfr);
  EXPECT_EQ(m_state.WorkNotAfter, "2026-01-31 23:59:59");
  EXPECT_EQ(m_state.WorkEnv, "PROD");  // upper-cased Cyrillic matches the production name
  EXPECT_TRUE(m_messages.infos.empty());
  EXPECT_EQ(WindowCaption(m_state, "r10.0.023"),
            "TELVANO r10.0.023 | AB12CD34-100200300-ПРОДАВН-PROD-VPFR-https://vpfr.example/");
}

TEST_F(WorkingCertificateTest, TwoRowsOrNoneShowThePlainDialogAndKeepTheState) {
  ASSERT_FALSE(m_certificate.LoadWorkingCertificate(""));
  AddCertificate("AAAA1111", "PJ1", "Развојно окружење", "Y");
  AddCertificate("BBBB2222", "PJ2", "", "Y");
  m_state.WorkSerial = "previous";
  m_state.WorkPin = "1234";
  ASSERT_FALSE(m_certificate.LoadWorkingCertificate(""));
  EXPECT_EQ(m_messages.infos,
            (std::vector<std::string>{"Niste izabrali sertifikat za rad!!! ( 0 ili vise u bazi )",
                                      "Niste izabrali sertifikat za rad!!! ( 0 ili vise u bazi )"}));
  EXPECT_EQ(m_state.WorkSerial, "previous");

  // A serial picks its row among several; the PIN is not the certificate's business.
  ASSERT_TRUE(m_certificate.LoadWorkingCertificate("BBBB2222"));
  EXPECT_EQ(m_state.WorkSerial, "BBBB2222");
  EXPECT_EQ(m_state.WorkEnv, "DEV");
  EXPECT_TRUE(m_state.WorkIsLpfr);
  EXPECT_EQ(m_state.WorkPin, "1234");
  ASSERT_TRUE(m_certificate.LoadWorkingCertificate("AAAA1111"));
  EXPECT_EQ(m_state.WorkEnv, "DEV");

  // An unknown serial, even one built to break a quoted statement, leaves the state as it was.
  EXPECT_FALSE(m_certificate.LoadWorkingCertificate("x' or '1'='1"));
  EXPECT_FALSE(m_certificate.LoadWorkingCertificate("ZZZZ9999"));
  EXPECT_EQ(m_state.WorkSerial, "AAAA1111");
}

TEST_F(WorkingCertificateTest, ClearEmptiesEverythingButUnattended) {
  AddCertificate("AB12CD34", "PJ1", "", "N");
  ASSERT_TRUE(m_certificate.LoadWorkingCertificate("AB12CD34"));
  m_state.WorkPin = "ABC123";
  m_state.Unattended = true;
  ASSERT_TRUE(m_certificate.LoadWorkingCertificate("CLEAR"));
  EXPECT_EQ(m_state.WorkSerial, "");
  EXPECT_EQ(m_state.WorkTin, "");
  EXPECT_EQ(m_state.WorkUnit, "");
  EXPECT_EQ(m_state.WorkUrl, "");
  EXPECT_EQ(m_state.WorkEnv, "");
  EXPECT_EQ(m_state.WorkNotAfter, "");
  EXPECT_EQ(m_state.WorkPin, "");
  EXPECT_TRUE(m_state.WorkIsLpfr);
  EXPECT_TRUE(m_state.Unattended);
  EXPECT_EQ(WindowCaption(m_state, "r10.0.023"), "TELVANO r10.0.023 | ");
}

TEST_F(WorkingCertificateTest, ClearNeedsNoDatabaseButALookupDoes) {
  m_connection.reset();
  EXPECT_TRUE(m_certificate.LoadWorkingCertificate("CLEAR"));
  EXPECT_THROW(m_certificate.LoadWorkingCertificate(""), db::DbError);
}

TEST(WorkingCertificate, EnvironmentNames) {
  EXPECT_EQ(WorkingCertificate::EnvironmentOf("СУФ ПРОДУКЦИЈА"), "PROD");
  EXPECT_EQ(WorkingCertificate::EnvironmentOf("Суф Продукција"), "PROD");
  EXPECT_EQ(WorkingCertificate::EnvironmentOf("СУФ ПРОДУКЦИЈА "), "DEV");
  EXPECT_EQ(WorkingCertificate::EnvironmentOf("SUF PRODUKCIJA"), "DEV");
  EXPECT_EQ(WorkingCertificate::EnvironmentOf(""), "DEV");
}

}  // namespace
}  // namespace telvano::core
