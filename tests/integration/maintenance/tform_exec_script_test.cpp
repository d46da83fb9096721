#include "cert/tform_exec_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../sdc/recording_messages.h"
#include "core/working_certificate.h"
#include "db/settings.h"
#include "platform/code_page.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::cert {
namespace {

namespace fs = std::filesystem;

class OperatorView final : public ExecScriptView {
 public:
  std::string caption;
  std::string panelFile;
  std::function<void()> operatorActions;  // what the operator does while the window is open
  void SetCaption(const std::string& text) override { caption = text; }
  void SetPanelFile(const std::string& text) override { panelFile = text; }
  void ExecModal() override {
    if (operatorActions) operatorActions();
  }
};

class TFormExecScriptTest : public ::testing::Test {
 protected:
  TFormExecScriptTest()
      : m_connection(db::Database::Attach(db::Database::Options::For(m_database.Path()))),
        m_form(
            m_configuration, m_state, m_connection, m_messages, m_clock,
            [this](const std::string& line) { m_log.push_back(line); },
            [this](const std::string& path) { return fs::path(path).filename() == m_stillWritten; }) {
    m_configuration.InputDir = m_exchange / "SDC_Inp";
    m_configuration.DB_Fullname = m_database.Path();
    fs::create_directory(m_configuration.InputDir);
    m_state.WorkSerial = "AB12CD34";
    m_state.WorkTin = "100200300";
    m_form.AttachView(m_view);
  }

  void WriteScript(const std::string& name, const std::string& text) {
    testing::WriteFileBytes(fs::path(m_configuration.InputDir) / name, text);
  }
  bool ScriptExists(const std::string& name) const {
    return fs::exists(fs::path(m_configuration.InputDir) / name);
  }
  std::string BackupFolder() const { return (m_database.Folder().Path() / "BackupDB").string(); }

  testing::TestDatabase m_database;
  testing::TempDir m_exchange;
  core::Configuration m_configuration;
  core::WorkingState m_state;
  platform::ManualClock m_clock;  // 2024-03-01
  std::unique_ptr<db::Database> m_connection;
  testing::RecordingMessages m_messages;
  std::vector<std::string> m_log;
  std::string m_stillWritten;
  OperatorView m_view;
  TFormExecScript m_form;
};

TEST_F(TFormExecScriptTest, ScriptsAreOfferedInNameOrderAndEachRunsOnce) {
  WriteScript("Script_02.sql", "insert into my_reg(reg_code, reg_desc) values('SECOND', '2')\n");
  WriteScript("script_01.SQL", "insert into my_reg(reg_code, reg_desc) values('FIRST', '1')\n");
  WriteScript(".Script_00.sql", "hidden");
  WriteScript("Other_00.sql", "not a script name");
  fs::create_directory(fs::path(m_configuration.InputDir) / "Script_000.sql");

  m_view.operatorActions = [this] {
    EXPECT_EQ(m_view.caption, core::WindowCaption(m_state, m_configuration.ProgramVersion));
    EXPECT_EQ(m_view.panelFile, "script_01.SQL");
    m_form.PanelExecScriptClick();
    EXPECT_EQ(m_view.panelFile, "");
    m_form.PanelExecScriptClick();  // nothing shown any more: nothing to run
  };
  m_form.ShowModal();
  EXPECT_EQ(m_messages.calls,
            (std::vector<std::string>{"info:Script izvršen!",
                                      std::string("info:") + kNoScriptText + m_configuration.InputDir}));
  EXPECT_FALSE(ScriptExists("script_01.SQL"));
  EXPECT_EQ(db::ReadSetting(*m_connection, "FIRST"), "1");

  m_view.operatorActions = [this] { EXPECT_EQ(m_view.panelFile, "Script_02.sql"); };
  m_form.ShowModal();
  EXPECT_EQ(db::ReadSetting(*m_connection, "SECOND"), "");  // offered, not run

  m_stillWritten = "Script_02.sql";  // the writer has not finished it
  EXPECT_EQ(m_form.FindNextScript(), std::nullopt);
}

TEST_F(TFormExecScriptTest, AFailingLineIsLoggedAndListedAndTheScriptStillRunsToItsEnd) {
  WriteScript("Script_01.sql",
              "# repair of the settings\n"
              "insert into my_reg(reg_code, reg_desc) values('REPAIRED', 'before')\n"
              "insert into no_such_table values(1)\n"
              "update my_reg set reg_desc = 'after' where reg_code = 'REPAIRED'\n");
  m_form.RunScript("Script_01.sql");

  EXPECT_EQ(m_messages.calls,
            std::vector<std::string>{"info:Script izvršen!\n\nNeuspešne linije / Failed lines:\n"
                                     "3: insert into no_such_table values(1)"});
  EXPECT_EQ(db::ReadSetting(*m_connection, "REPAIRED"), "after");
  EXPECT_FALSE(ScriptExists("Script_01.sql"));
  ASSERT_EQ(m_log.size(), 2u);
  EXPECT_EQ(
      m_log[0].rfind("SQL script Script_01.sql line 3 failed: Dynamic SQL Error -SQL error code = -204", 0),
      0u)
      << m_log[0];
  EXPECT_NE(m_log[0].find("NO_SUCH_TABLE"), std::string::npos) << m_log[0];
  EXPECT_EQ(m_log[1], "SQL script Script_01.sql run: 2 statement(s) done, 1 failed");
}

TEST_F(TFormExecScriptTest, TheScriptFileMayComeInTheEncodingsOfAnEditor) {
  const std::string statement = "update my_reg set reg_desc = 'Đorđe' where reg_code = 'NAME'";
  const struct {
    const char* name;
    std::string bytes;
    const char* codePage;
  } cases[] = {
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + statement, "UTF-8"},
      {"windows-1250 without a mark",
       "update my_reg set reg_desc = '\xD0or\xF0"
       "e' where reg_code = 'NAME'",
       "windows-1250"},
      {"UTF-16LE with a byte-order mark", "\xFF\xFE" + platform::FromUtf8(statement, "UTF-16LE"), "UTF-8"},
  };
  for (const auto& c : cases) {
    db::WriteSetting(*m_connection, "NAME", "?");
    m_configuration.CodePage = c.codePage;
    WriteScript("Script_01.sql", c.bytes);
    m_form.RunScript("Script_01.sql");
    EXPECT_EQ(db::ReadSetting(*m_connection, "NAME"), "Đorđe") << c.name;
  }
}

TEST_F(TFormExecScriptTest, BackupFileNamesFollowTheDatabaseAndTheDay) {
  const struct {
    const char* dbFullname;
    const char* suffix;
    const char* expected;
  } cases[] = {
      {"/data/TELVANO.FDB", "", "/data/BackupDB/TELVANO_2024-03-01.mlf"},
      {"/data/TELVANO.FDB", "_INIT", "/data/BackupDB/TELVANO_2024-03-01_INIT.mlf"},
      {"localhost:/srv/pos.fdb", "", "/srv/BackupDB/pos_2024-03-01.mlf"},
      {"fb.fdb", "", "./BackupDB/fb_2024-03-01.mlf"},
      {"/data/Šljivić.fdb", "", "/data/BackupDB/Šljivić_2024-03-01.mlf"},
  };
  for (const auto& c : cases) {
    m_configuration.DB_Fullname = c.dbFullname;
    EXPECT_EQ(m_form.BackupFileName(c.suffix), c.expected) << c.dbFullname;
  }
}

TEST_F(TFormExecScriptTest, BackupsFromTheMenuAndBeforeANewCertificateAreTwoFilesThatOpen) {
  fs::create_directory(BackupFolder());
  m_connection->Execute(
      "insert into inv_request(inv_uuid, ext_filename) values(?, ?)",
      {std::string("0c8e2a4e-0f6b-4a51-9d0a-2f4b5c6d7e8f"), std::string("INV_NS_000123.csv")});

  EXPECT_TRUE(m_form.BackupDatabase("", true));
  EXPECT_TRUE(m_form.BackupDatabase("_INIT", false));

  EXPECT_EQ(m_messages.calls,
            std::vector<std::string>{"info:BACKUP sačuvan u folderu:\n\n" + BackupFolder() + "/"});
  for (const std::string suffix : {"", "_INIT"}) {
    auto copy = db::Database::Attach(db::Database::Options::For(m_form.BackupFileName(suffix)));
    auto row = copy->QueryFirst("select ext_filename from inv_request");
    ASSERT_TRUE(row) << suffix;
    EXPECT_EQ((*row)[0].AsString(), "INV_NS_000123.csv");
  }
  EXPECT_EQ(m_log.back(), "BACKUP saved: " + m_form.BackupFileName("_INIT"));
}

TEST_F(TFormExecScriptTest, AMissingBackupFolderIsReportedAndNeverConfirmed) {
  for (const bool interactive : {true, false}) {
    m_messages.calls.clear();
    EXPECT_FALSE(m_form.BackupDatabase("", interactive));
    ASSERT_EQ(m_messages.calls.size(), 1u);
    EXPECT_EQ(m_messages.calls[0], std::string("info:") + kBackupFailedText + m_form.BackupFileName("") +
                                       "\n\nFolder ne postoji / The folder does not exist:\n" +
                                       BackupFolder());
    EXPECT_EQ(m_log.back().rfind("BACKUP not saved: ", 0), 0u);
  }
  EXPECT_FALSE(fs::exists(BackupFolder()));
}

}  // namespace
}  // namespace telvano::cert
