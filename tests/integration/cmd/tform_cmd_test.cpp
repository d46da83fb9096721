// Command files end to end: real files in a temporary exchange tree, a real database, a real LPFR simulator.
#include "cmd/tform_cmd.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "cmd_fixture.h"
#include "db/settings.h"
#include "fiscal_records.h"

namespace telvano::cmd {
namespace {

namespace fs = std::filesystem;
using telvano::testing::ReadFileBytes;
using telvano::testing::WriteFileBytes;

const std::string kActiveLine = std::string("ACTIVE/AKTIVAN,") + testing::kNow + "\r\n";
const std::string kLineError = std::string("\"") + kLineWithoutParameterText + "\"\r\n";

class TFormCmdTest : public ::testing::Test, public testing::CmdFixture {};

TEST_F(TFormCmdTest, AnswersEveryLineInOrderAndStopsAtALineWithoutParameter) {
  EXPECT_EQ(RunFile("CMD_0001.csv", "HELLO-TELVANO,\r\nHELLO-TELVANO,\r\nHELLO-TELVANO,\r\n"),
            kActiveLine + kActiveLine + kActiveLine);
  EXPECT_FALSE(fs::exists(In("CMD_0001.csv")));

  // Commands are upper-cased, further fields are ignored, anything unknown is answered as such.
  EXPECT_EQ(RunFile("cmd_0002.csv", "hello-telvano,x,y\nFOO-BAR,\n"), kActiveLine + "\"Unknown command\"\r\n");
  EXPECT_TRUE(fs::exists(Out("cmd_0002_resp.txt")));

  // A line without the comma ends the file: earlier answers stay, later lines are not run.
  EXPECT_EQ(RunFile("CMD_0003.csv", "HELLO-TELVANO,\r\nHELLO-TELVANO\r\nHELLO-TELVANO,\r\n"), kActiveLine + kLineError);
  // So does an empty line, and a line of blanks.
  EXPECT_EQ(RunFile("CMD_0004.csv", "HELLO-TELVANO,\r\n\r\nHELLO-TELVANO,\r\n"), kActiveLine + kLineError);
  EXPECT_EQ(RunFile("CMD_0005.csv", " \t \r\nHELLO-TELVANO,\r\n"), kLineError);
  // An empty file answers with an empty response file.
  EXPECT_EQ(RunFile("CMD_0006.csv", ""), "");
  EXPECT_FALSE(fs::exists(In("CMD_0006.csv")));
  EXPECT_TRUE(m_application.calls.empty());
}

TEST_F(TFormCmdTest, StopOnLineTwoAnswersNothingAndEndsTheProgram) {
  m_simulator->ClearRequests();
  EXPECT_EQ(RunFile("CMD_STOP.csv", "HELLO-TELVANO,\r\nSTOP-TELVANO,\r\nGET-STATUS,\r\n"), "<none>");
  EXPECT_FALSE(fs::exists(In("CMD_STOP.csv")));
  EXPECT_EQ(m_application.calls,
            (std::vector<std::string>{"WriteStartStopNotice(stop,OK)", "RequestTerminate"}));
  EXPECT_FALSE(fs::exists(Out("YJLQTEQR_Status.json")));  // the line after the stop never ran
  EXPECT_TRUE(m_simulator->Requests().empty());
}

TEST_F(TFormCmdTest, HelloPfrAnswersTheConnectionErrorAndGoesOn) {
  EXPECT_EQ(RunFile("CMD_1.csv", "HELLO-PFR,\r\n"), kActiveLine);
  m_simulator->Stop();
  EXPECT_EQ(RunFile("CMD_2.csv", "HELLO-PFR,\r\nHELLO-TELVANO,\r\n"),
            std::string("\"Connection error / Greška pri povezivanju\",") + testing::kNow + "\r\n" + kActiveLine);
  EXPECT_TRUE(m_messages.shown.empty());  // the command asks without showing message 4
}

TEST_F(TFormCmdTest, ProcessorAnswersAreSavedForThePos) {
  EXPECT_EQ(RunFile("CMD_1.csv", "GET-ENV,\r\nGET-STATUS,\r\n"), "");
  const std::string environment = ReadFileBytes(Out("YJLQTEQR_Environment.json"));
  const std::string status = ReadFileBytes(Out("YJLQTEQR_Status.json"));
  EXPECT_NE(environment.find("\"environmentName\""), std::string::npos);
  EXPECT_NE(status.find("\"allTaxRates\""), std::string::npos);
  EXPECT_TRUE(status.ends_with("}\r\n"));

  // A refused status request still writes the (empty) file; no reply at all is the file's last line.
  m_simulator->QueueFault("/api/v3/status", pfrsim::Fault::Error(500, "busy"));
  EXPECT_EQ(RunFile("CMD_2.csv", "GET-STATUS,\r\n"), "");
  EXPECT_EQ(ReadFileBytes(Out("YJLQTEQR_Status.json")), "\r\n");
  m_simulator->Stop();
  const std::string response = RunFile("CMD_3.csv", "HELLO-TELVANO,\r\nGET-ENV,\r\nHELLO-TELVANO,\r\n");
  EXPECT_TRUE(response.starts_with(kActiveLine + "\"Connection error / Greška pri povezivanju\n\n")) << response;
  EXPECT_TRUE(response.ends_with("\"\r\n"));
  EXPECT_EQ(response.find(kActiveLine, 1), std::string::npos);
}

TEST_F(TFormCmdTest, TaxGroupsWithLabelCodesOrLetters) {
  auto& db = m_database.Db();
  const std::string insert =
      "insert into tax_groups(group_id, label, rate, category_type, name, order_id, valid_from, label_cyr) "
      "values(?, ?, ?, ?, ?, ?, ?, ?)";
  db.Execute(insert, {std::int64_t{6}, "Е", *db::Decimal::Parse("10"), std::int64_t{0}, "П-ПДВ", std::int64_t{2},
                      "2024-01-01T00:00:00", "07"});
  db.Execute(insert, {std::int64_t{6}, "Ђ", *db::Decimal::Parse("20.00"), std::int64_t{0}, "О-ПДВ",
                      std::int64_t{1}, "2024-01-01T00:00:00", "06"});
  db.Execute(insert, {std::int64_t{5}, "Г", *db::Decimal::Parse("10.5"), std::int64_t{-1}, "Stara grupa, 2023",
                      std::int64_t{3}, "2023-01-01T00:00:00", "04"});
  EXPECT_EQ(RunFile("CMD_1.csv", "GET-TAXGROUPS,1\r\n"),
            "5,04,10.5,-1,\"Stara grupa, 2023\",3,2023-01-01T00:00:00\r\n"
            "6,06,20,0,О-ПДВ,1,2024-01-01T00:00:00\r\n"
            "6,07,10,0,П-ПДВ,2,2024-01-01T00:00:00\r\n");
  EXPECT_EQ(RunFile("CMD_2.csv", "GET-TAXGROUPS,0\r\n"),
            "5,Г,10.5,-1,\"Stara grupa, 2023\",3,2023-01-01T00:00:00\r\n"
            "6,Ђ,20,0,О-ПДВ,1,2024-01-01T00:00:00\r\n"
            "6,Е,10,0,П-ПДВ,2,2024-01-01T00:00:00\r\n");
}

TEST_F(TFormCmdTest, BusinessUnitAndProcessorOfTheWorkingCertificate) {
  EXPECT_EQ(RunFile("CMD_1.csv", "GET-BUNIT,\r\nGET-PFR,\r\n"), "");  // no certificate row: no lines

  m_database.Db().Execute(
      "insert into cert_se(serial, sub_tin, sub_o, sub_ou, sub_st, sub_street, ind_lpfr) "
      "values(?, ?, ?, ?, ?, ?, ?)",
      {"YJLQTEQR", "111911206", "Prodavnica d.o.o.", "1234567 Radnja 1", "Beograd", "Heroja Milana Tepića 13",
       "1"});
  db::WriteSetting(m_database.Db(), "SDC_MRC", "00-1002-YJLQTEQR");
  EXPECT_EQ(RunFile("CMD_2.csv", "GET-BUNIT,\r\nGET-PFR,\r\n"),
            "111911206,\"Prodavnica d.o.o.\",\"1234567 Radnja 1\",Beograd,\"Heroja Milana Tepića 13\"\r\n"
            "111911206,YJLQTEQR,00-1002-YJLQTEQR,DEV\r\n");

  // A working serial with an apostrophe is only a serial that has no row.
  m_workingState.WorkSerial = "X' OR '1'='1";
  EXPECT_EQ(RunFile("CMD_3.csv", "GET-BUNIT,\r\nGET-PFR,\r\n"), "");
}

TEST_F(TFormCmdTest, ReprintFindsTheStoredNameInAnyCase) {
  const std::string uuid = "0f8fad5b-d9cb-469f-a165-70867728950e";
  m_database.Db().Execute("insert into inv_request(inv_uuid, ext_filename) values(?, ?)", {uuid, "INV_NS_1.CSV"});

  // Unknown name: answered, and the file goes on.
  EXPECT_EQ(RunFile("CMD_1.csv", "REPRINT,inv_ns_2.csv\r\nHELLO-TELVANO,\r\n"),
            "\"Ne postoji takav račun u bazi!\"\r\n" + kActiveLine);
  // Found, but its print script is gone: the reprint's failure ends the file.
  EXPECT_EQ(RunFile("CMD_2.csv", "REPRINT,inv_ns_1.csv\r\nHELLO-TELVANO,\r\n"), "\"Račun nije iz ove sesije!\"\r\n");

  // With the script in the archive the sender is started with it and the port, and nothing is answered.
  WriteFileBytes(Archive(uuid), "'EPSON,/dev/null\r\nESC @\r\n");
  const fs::path argumentsFile = m_root.Path() / "sender_arguments.txt";
  const fs::path sender = m_root.Path() / "RunTime" / "Ostrapo";
  WriteFileBytes(sender, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argumentsFile.string() + ".tmp'\nmv '" +
                             argumentsFile.string() + ".tmp' '" + argumentsFile.string() + "'\n");
  fs::permissions(sender, fs::perms::owner_all);
  EXPECT_EQ(RunFile("CMD_3.csv", "REPRINT,Inv_Ns_1.Csv\r\n"), "");
  for (int i = 0; i < 100 && !fs::exists(argumentsFile); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(fs::exists(argumentsFile)) << "the sender was not started within 5 s";
  const std::string arguments = ReadFileBytes(argumentsFile);
  EXPECT_NE(arguments.find(Archive(uuid).string() + "\n/dev/null\n"), std::string::npos) << arguments;
}

TEST_F(TFormCmdTest, CommandFileEncodings) {
  const std::string uuid = "7c9e6679-7425-40de-944b-e07fc1f90ae7";
  m_database.Db().Execute("insert into inv_request(inv_uuid, ext_filename) values(?, ?)", {uuid, "INV_NS_ČIČA.CSV"});
  // windows-1250 bytes without a byte-order mark (C8 is Č, E8 is č): found, so the missing script is reported.
  EXPECT_EQ(RunFile("CMD_1.csv", "REPRINT,inv_ns_\xE8i\xE8" "a.csv\r\n"), "\"Račun nije iz ove sesije!\"\r\n");
  // The same in UTF-8 without a mark, and with one.
  EXPECT_EQ(RunFile("CMD_2.csv", "REPRINT,inv_ns_čiča.csv\r\n"), "\"Račun nije iz ove sesije!\"\r\n");
  EXPECT_EQ(RunFile("CMD_3.csv", "\xEF\xBB\xBFREPRINT,INV_NS_ČIČA.csv\r\n"), "\"Račun nije iz ove sesije!\"\r\n");
  // UTF-16 with its mark.
  EXPECT_EQ(RunFile("CMD_4.csv", std::string("\xFF\xFEH\0E\0L\0L\0O\0-\0T\0E\0L\0V\0A\0N\0O\0,\0", 30)), kActiveLine);
}

TEST_F(TFormCmdTest, ReportsAnswerOneLinePerRowAndTakeAnyTextAsAPeriod) {
  testing::InsertFiscalInvoice(m_database.Db(), {"a", "2024-05-06", "NS", "REQ1", "SIG1", 1, 1, "120.5",
                                                 {{"Ђ", "06", "20.0833"}}, {{"Ђ", "06", "120.5"}},
                                                 {{"Cash", "100"}, {"Card", "20.5"}}});
  testing::InsertFiscalInvoice(m_database.Db(), {"b", "2024-05-06", "NR", "REQ1", "SIG1", 1, 2, "20",
                                                 {{"Ђ", "06", "3.3333"}}, {{"Ђ", "06", "20"}}, {{"Cash", "20"}}});
  EXPECT_EQ(RunFile("CMD_1.csv", "INV-REPORT,2024-05-06\r\nTAX-REPORT,2024-05\r\n"),
            "2024-05-06,REQ1,SIG1,1,1,NS,120.50\r\n"
            "2024-05-06,REQ1,SIG1,1,2,NR,20.00\r\n"
            "2024-05,REQ1,SIG1,NR,Ђ,06,3.3333\r\n"
            "2024-05,REQ1,SIG1,NS,Ђ,06,20.0833\r\n");
  EXPECT_EQ(RunFile("CMD_2.csv", "X-REPORT,2024-05-06'\r\nPAY-REPORT,\"2024' OR 'a'='a\"\r\nHELLO-TELVANO,\r\n"),
            kActiveLine);
}

TEST_F(TFormCmdTest, EveryCommandFileThatFailsLeavesOneLogLine) {
  std::vector<std::string> log;
  m_cmd.SetLog([&log](const std::string& line) { log.push_back(line); });
  m_database.Db().Execute("drop table inv_tax_items");  // the tax report fails on the database
  const struct {
    const char* file;
    const char* bytes;
    const char* logged;  // in the one log line; nullptr: no line at all
  } cases[] = {
      {"CMD_OK.csv", "HELLO-TELVANO,\r\nHELLO-PFR,\r\n", nullptr},
      {"CMD_LINE.csv", "HELLO-TELVANO,\r\nHELLO-TELVANO\r\n", kLineWithoutParameterText},
      {"CMD_DB.csv", "TAX-REPORT,2024-05\r\nHELLO-TELVANO,\r\n", "INV_TAX_ITEMS"},
  };
  for (const auto& c : cases) {
    log.clear();
    RunFile(c.file, c.bytes);
    if (c.logged == nullptr) {
      EXPECT_TRUE(log.empty()) << c.file << ": " << log.front();
      continue;
    }
    ASSERT_EQ(log.size(), 1u) << c.file;
    EXPECT_EQ(log[0].rfind(std::string("Komanda ") + c.file + " nije izvršena / The command failed: ", 0), 0u) << log[0];
    EXPECT_NE(log[0].find(c.logged), std::string::npos) << log[0];
    EXPECT_EQ(log[0].find_first_of("\r\n"), std::string::npos) << "one line: " << log[0];
  }
}

TEST_F(TFormCmdTest, FailuresAroundTheFileItself) {
  // A command file that vanished before it was read is answered with the reason.
  m_cmd.ProcessCmdFile("CMD_GONE.csv");
  EXPECT_EQ(ReadFileBytes(Out("CMD_GONE_resp.txt")),
            "\"Cannot read the command file / Komandni fajl nije moguće pročitati\"\r\n");
  // Without the output folder the response cannot be written: that is raised, not swallowed.
  fs::remove_all(m_configuration.OutputDir);
  WriteFileBytes(In("CMD_X.csv"), "HELLO-TELVANO,\r\n");
  EXPECT_THROW(m_cmd.ProcessCmdFile("CMD_X.csv"), std::runtime_error);
}

}  // namespace
TEST_F(TFormCmdTest, ACommandFileThatIsNoFileOrTooLargeIsAnsweredWithoutBeingRead) {
  // A sparse file of 50 GB costs no disk, and would cost all memory if it were read.
  const fs::path huge = In("CMD_0100.csv");
  {
    std::ofstream create(huge);
  }
  fs::resize_file(huge, 50ull << 30);
  m_cmd.ProcessCmdFile("CMD_0100.csv");
  EXPECT_NE(telvano::testing::ReadFileBytes(Out(TFormCmd::ResponseFileName("CMD_0100.csv"))).find(kCommandFileTooLargeText),
            std::string::npos);
  // A FIFO nobody writes would block the one thread for good.
  ASSERT_EQ(::mkfifo(In("CMD_0101.csv").c_str(), 0666), 0);
  m_cmd.ProcessCmdFile("CMD_0101.csv");
  EXPECT_NE(telvano::testing::ReadFileBytes(Out(TFormCmd::ResponseFileName("CMD_0101.csv"))).find("Not a regular file"),
            std::string::npos);
}

}  // namespace telvano::cmd
