#include "maintenance/tform_exec_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "../sdc/recording_messages.h"
#include "core/working_certificate.h"
#include "core/text_utils.h"
#include "db/settings.h"
#include "db/sql_script.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::maintenance {
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
  TFormExecScriptTest() {
    m_configuration.InputDir = m_exchange.Path().string();
    m_configuration.ArchiveDir = m_archive.Path().string();
    m_configuration.DB_Fullname = m_database.Path();
    m_state.WorkSerial = "AB12CD34";
    m_form.AttachView(m_view);
  }

  void WriteScript(const std::string& name, const std::string& text) {
    testing::WriteFileBytes(m_exchange.Path() / name, text);
  }
  std::string Setting(const char* key) { return db::ReadSetting(*m_connection, key); }
  std::string BackupFolder() const { return (m_database.Folder().Path() / "BackupDB").string(); }

  testing::TestDatabase m_database;
  testing::TempDir m_exchange;
  testing::TempDir m_archive;
  core::Configuration m_configuration;
  core::WorkingState m_state;
  platform::ManualClock m_clock;  // 2024-03-01
  std::unique_ptr<db::Database> m_connection =
      db::Database::Attach(db::Database::Options::For(m_database.Path()));
  testing::RecordingMessages m_messages;
  std::vector<std::string> m_log;
  std::string m_stillWritten;
  OperatorView m_view;
  TFormExecScript m_form{
      m_configuration,
      m_state,
      m_connection,
      m_messages,
      m_clock,
      [this](const std::string& line, platform::Priority) { m_log.push_back(line); },
      [this](const std::string& path) { return fs::path(path).filename() == m_stillWritten; }};
};

TEST_F(TFormExecScriptTest, ScriptsAreOfferedInNameOrderAndEachRunsOnce) {
  WriteScript("Script_02.sql", "insert into my_reg(reg_code, reg_desc) values('SECOND', '2')");
  WriteScript("script_01.SQL", "insert into my_reg(reg_code, reg_desc) values('FIRST', '1')");
  WriteScript(".Script_00.sql", "hidden");
  WriteScript("Other_00.sql", "not a script's name");
  fs::create_directory(m_exchange.Path() / "Script_000.sql");

  m_view.operatorActions = [this] {
    EXPECT_EQ(m_view.caption, core::WindowCaption(m_state, m_configuration.ProgramVersion));
    EXPECT_EQ(m_view.panelFile, "script_01.SQL");
    m_form.PanelExecScriptClick();
    EXPECT_EQ(m_view.panelFile, "");
    m_form.PanelExecScriptClick();  // nothing to run any more
  };
  m_form.ShowModal();
  EXPECT_EQ(m_messages.calls,
            (std::vector<std::string>{"info:Script izvršen!",
                                      std::string("info:") + kNoScriptText + m_configuration.InputDir}));
  EXPECT_FALSE(fs::exists(m_exchange.Path() / "script_01.SQL"));
  EXPECT_EQ(Setting("FIRST"), "1");

  m_view.operatorActions = [this] { EXPECT_EQ(m_view.panelFile, "Script_02.sql"); };
  m_form.ShowModal();
  m_stillWritten = "Script_02.sql";  // its writer has not finished it
  EXPECT_EQ(m_form.FindNextScript(), std::nullopt);
  EXPECT_EQ(Setting("SECOND"), "");
}

TEST_F(TFormExecScriptTest, AFailingLineIsLoggedAndListedAndTheScriptStillRunsToItsEnd) {
  WriteScript("Script_01.sql",
              "# repair\n"
              "insert into my_reg(reg_code, reg_desc) values('REPAIRED', 'before')\n"
              "insert into no_such_table values(1)\n"
              "update my_reg set reg_desc = 'after' where reg_code = 'REPAIRED'\n");
  m_form.RunScript("Script_01.sql");
  EXPECT_EQ(m_messages.calls,
            std::vector<std::string>{"info:Script izvršen!\n\nNeuspešne linije / Failed lines:\n"
                                     "3: insert into no_such_table values(1)"});
  EXPECT_EQ(Setting("REPAIRED"), "after");
  EXPECT_FALSE(fs::exists(m_exchange.Path() / "Script_01.sql"));
  ASSERT_EQ(m_log.size(), 2u);
  EXPECT_EQ(
      m_log[0].rfind("SQL script Script_01.sql line 3 failed: Dynamic SQL Error -SQL error code = -204", 0),
      0u)
      << m_log[0];
  EXPECT_EQ(m_log[1], "SQL script Script_01.sql run: 2 statement(s) done, 1 failed");
}

// A statement that has another attachment cut off the script's own, as a server that goes away cuts it.
std::string CutOff(const std::string& databasePath) {
  return "execute block as begin execute statement 'delete from mon$attachments where mon$attachment_id = ' || "
         "current_connection on external '" + databasePath + "' with autonomous transaction; end";
}

// Two lines that run, one that fails, a comment, the cut-off at line 5, and two lines that cannot run.
std::string StoppingScript(const std::string& cutOff) {
  return "insert into tax_groups(group_id, order_id) values(9, 1)\n"
         "update tax_groups set order_id = order_id + 1\n"
         "insert into no_such_table values(1)\n"
         "# the connection goes next\n" +
         cutOff + "\n"
         "update tax_groups set order_id = order_id + 1\n"
         "\n"
         "insert into my_reg(reg_code, reg_desc) values('LATER', '1')\n";
}

// The box for StoppingScript up to the lines that did not run.
std::string StoppedBoxLines(const std::string& cutOff) {
  return std::string("info:") + kScriptStoppedText +
         "Script_01.sql\n\nVeza sa bazom podataka je prekinuta u liniji 5 / The connection to the database was "
         "lost at line 5.\n\n" + kLinesRunText +
         "\n1: insert into tax_groups(group_id, order_id) values(9, 1)"
         "\n2: update tax_groups set order_id = order_id + 1\n\n" +
         kFailedLinesText + "\n3: insert into no_such_table values(1)\n\n" + kStoppingLineText + "\n5: " +
         core::Utf8Prefix(cutOff, 60) + "…\n\n" + kLinesNotRunText +
         "\n6: update tax_groups set order_id = order_id + 1"
         "\n8: insert into my_reg(reg_code, reg_desc) values('LATER', '1')\n\n";
}

// Whatever happens to the lines not run, the ones that ran must never run again.
TEST_F(TFormExecScriptTest, AScriptStoppedByALostConnectionNeverRunsItsCommittedLinesAgain) {
  const std::string cutOff = CutOff(m_database.Path());
  const std::string firstName = m_archive / "Script_01_notrun_2024-03-01_08-15-02.sql";
  const std::string keptName = m_archive / "Script_01_notrun_2024-03-01_08-15-02_2.sql";
  const std::string notWritten = "Ne mogu da upišem fajl / Cannot write file: " + firstName +
                                 " (No such file or directory)";
  const struct {
    bool archiveWritable;
    std::string boxEnd;  // after the lines
    std::string logEnd;
  } cases[] = {
      // A file of the first name is there already: the next free name is taken.
      {true, kNotRunKeptText + keptName, "; the lines not run are kept in " + keptName},
      // Nowhere to keep them: the script stays, and the operator is told what ran.
      {false,
       kNotRunNotKeptText + notWritten + "\n\n" + kScriptKeptText + m_configuration.InputDir + "\n" +
           kLinesRanWarningText,
       "; the lines not run could not be kept (" + notWritten + "), the script stays in " +
           m_configuration.InputDir},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archiveWritable ? "archive" : "no archive");
    m_connection->Reconnect();  // the program attaches again before each menu action
    m_connection->Execute("delete from tax_groups");
    m_connection->Execute("delete from my_reg where reg_code = 'LATER'");
    m_messages.calls.clear();
    m_log.clear();
    testing::WriteFileBytes(firstName, "earlier");
    if (!c.archiveWritable) fs::remove_all(m_archive.Path());
    WriteScript("Script_01.sql", StoppingScript(cutOff));

    m_form.RunScript("Script_01.sql");
    EXPECT_EQ(m_messages.calls, std::vector<std::string>{StoppedBoxLines(cutOff) + c.boxEnd});
    ASSERT_EQ(m_log.size(), 2u);  // the failed line 3, and the stop
    EXPECT_EQ(m_log[1], "SQL script Script_01.sql stopped at line 5, the connection to the database was lost "
                        "(connection shutdown): 2 statement(s) done, 1 failed, 3 not run" + c.logEnd);
    EXPECT_EQ(fs::exists(m_exchange.Path() / "Script_01.sql"), !c.archiveWritable);
    m_connection->Reconnect();
    EXPECT_EQ(m_connection->QueryFirst("select order_id from tax_groups")->operator[](0).AsInt64(), 2);
    EXPECT_EQ(Setting("LATER"), "");
    if (!c.archiveWritable) continue;
    EXPECT_EQ(m_form.FindNextScript(), std::nullopt);
    EXPECT_EQ(testing::ReadFileBytes(firstName), "earlier");
    const std::string kept = testing::ReadFileBytes(keptName);
    // What a run of that file would execute: the stopping line first, after its warning, then the rest.
    std::vector<std::string> statements;
    for (const db::ScriptStatement& statement : db::ScriptStatements(kept)) statements.push_back(statement.sql);
    EXPECT_EQ(statements, (std::vector<std::string>{
                              cutOff, "update tax_groups set order_id = order_id + 1",
                              "insert into my_reg(reg_code, reg_desc) values('LATER', '1')"}));
    EXPECT_NE(kept.find(std::string(kMaybeAppliedComment) + "\n" + cutOff + "\n"), std::string::npos) << kept;
  }
}

TEST_F(TFormExecScriptTest, BackupsAreNamedByDatabaseDayAndSuffixAndConfirmedOnlyWhenSaved) {
  for (const auto& [dbFullname, suffix, expected] : {
           std::tuple{"/data/TELVANO.FDB", "_INIT", "/data/BackupDB/TELVANO_2024-03-01_INIT.mlf"},
           std::tuple{"localhost:/srv/pos.fdb", "", "/srv/BackupDB/pos_2024-03-01.mlf"},
           std::tuple{"localhost/3051:/srv/pos.fdb", "", "/srv/BackupDB/pos_2024-03-01.mlf"},
           std::tuple{"Šljivić.fdb", "", "BackupDB/Šljivić_2024-03-01.mlf"},  // beside the working folder
       }) {
    m_configuration.DB_Fullname = dbFullname;
    EXPECT_EQ(m_form.BackupFileName(suffix),
              expected[0] == '/' ? expected : fs::current_path().string() + "/" + expected);
  }
  m_configuration.DB_Fullname = "dbhost/3051:/srv/pos.fdb";  // another machine's folder: not ours to use
  EXPECT_FALSE(m_form.BackupDatabase("", true));
  EXPECT_NE(m_messages.calls.at(0).find("The database is on the server dbhost"), std::string::npos);
  m_messages.calls.clear();
  m_configuration.DB_Fullname = m_database.Path();

  EXPECT_FALSE(m_form.BackupDatabase("", true));  // no BackupDB folder: reported, never confirmed
  EXPECT_EQ(m_messages.calls, std::vector<std::string>{
                                  std::string("info:") + kBackupFailedText + m_form.BackupFileName("") +
                                  "\n\nFolder ne postoji / The folder does not exist:\n" + BackupFolder()});
  EXPECT_EQ(m_log.back().rfind("BACKUP not saved: ", 0), 0u);

  fs::create_directory(BackupFolder());
  m_connection->Execute(
      "insert into inv_request(inv_uuid, ext_filename) values('0c8e2a4e', 'INV_NS_000123.csv')");
  m_messages.calls.clear();
  EXPECT_TRUE(m_form.BackupDatabase("", true));
  EXPECT_TRUE(m_form.BackupDatabase("_INIT", false));  // the certificates' backup: no box
  EXPECT_EQ(m_messages.calls,
            std::vector<std::string>{"info:BACKUP sačuvan u folderu:\n\n" + BackupFolder() + "/"});
  auto copy = db::Database::Attach(db::Database::Options::For(m_form.BackupFileName("_INIT")));
  EXPECT_EQ(copy->QueryFirst("select ext_filename from inv_request")->operator[](0).AsString(),
            "INV_NS_000123.csv");
  EXPECT_TRUE(fs::exists(m_form.BackupFileName("")));
}

}  // namespace
}  // namespace telvano::maintenance
