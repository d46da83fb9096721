#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <stdexcept>

#include "core/headless_yellow_msg_view.h"
#include "core/message_table.h"
#include "core/tform_yellow_msg.h"
#include "support/temp_dir.h"

namespace telvano::core {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

const char* const kFatalSerbian = "PROGRAM SE GASI, NE POSTOJE USLOVI ZA RAD!\n\n";
const char* const kFatalEnglish = "PROGRAM WILL QUIT, NO NECESSARY CONDITION TO RUN!\n\n";

class RecordingView final : public YellowMsgView {
 public:
  void Show(const YellowMsgContent& content) override { shown.push_back(content); }
  void ShowInfo(const std::string& text) override { infos.push_back(text); }
  std::vector<YellowMsgContent> shown;
  std::vector<std::string> infos;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  MessageWindowTest() {
    m_configuration.LogsDir = m_dir.Path().string();
    m_state.WorkSerial = "AB12CD34";
    m_state.WorkTin = "100200300";
    m_state.WorkUnit = "PJ0001";
    m_state.WorkEnv = "DEV";
    m_state.WorkIsLpfr = false;
  }
  std::string Log() const { return ReadFileBytes(m_dir / "TELVANO_log.txt"); }
  const YellowMsgContent& Last() const { return m_view.shown.back(); }

  TempDir m_dir;
  Configuration m_configuration;
  WorkingState m_state;
  platform::ManualClock m_clock{{2024, 3, 1, 8, 15, 2, 0, 60}};
  LogWriter m_log{m_configuration, m_clock};
  RecordingView m_view;
  std::string m_dbVersion = "ODS13.0/FB4.0/DDL10.16";
  int m_companionEnded = 0;
  TFormYellowMsg m_window{m_configuration,
                          m_state,
                          m_clock,
                          m_log,
                          m_view,
                          [this] { return m_dbVersion; },
                          [this] { ++m_companionEnded; }};
};

TEST_F(MessageWindowTest, Message16ShowsTheSerbianTextInBothColumnsUnderTheFatalKind) {
  m_window.ShowMessageNo(16);
  const std::string text = "Pozvani/izabrani sertifikat ne odgovara sertifikatu u čitaču!";
  ASSERT_EQ(m_view.shown.size(), 1u);
  EXPECT_EQ(Last().Caption, "TELVANO");
  EXPECT_EQ(Last().Title, "TELVANO - Poruka / Message:   1016");
  EXPECT_EQ(Last().TextLng, kFatalSerbian + text);
  EXPECT_EQ(Last().TextEng, kFatalEnglish + text);
  EXPECT_EQ(Last().TypeCaption, "GREŠKA / ERROR");
  EXPECT_EQ(Last().OkCaption, "ZATVORI PROGRAM / CLOSE PROGRAM");
  EXPECT_EQ(Last().PanelBackground, kRed);
  EXPECT_EQ(Last().PanelForeground, kWhite);
  EXPECT_FALSE(Last().TimerReady);
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 " + text + "\r\n");
  EXPECT_EQ(m_companionEnded, 0);  // only messages up to 10 end the companion
}

TEST_F(MessageWindowTest, Message31IsAnInformationThatClosesItselfAndLogsReadyToUse) {
  m_window.ShowMessageNo(31);
  EXPECT_EQ(Last().Title, "TELVANO - Poruka / Message:   1031");
  EXPECT_TRUE(Last().TimerReady);
  EXPECT_EQ(Last().Kind, MessageKind::Information);
  EXPECT_EQ(Last().TypeCaption, "OBAVEŠTENJE / INFO");
  EXPECT_EQ(Last().OkCaption, "OK / POTVRDI");
  EXPECT_EQ(Last().PanelBackground, kGreen);
  EXPECT_EQ(Last().TextLng, "SPREMAN ZA RAD\n\nSPREMAN ZA RAD\n\nSPREMAN ZA RAD\n\nSPREMAN ZA RAD");
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 READY TO USE\r\n");
  EXPECT_EQ(kReadyTimeout, std::chrono::milliseconds(3000));

  // Whatever closed message 31, the ready timer must not close the next message by itself.
  m_window.ShowMessageText(25, "", "Careful");
  EXPECT_FALSE(Last().TimerReady);
  EXPECT_EQ(Last().Kind, MessageKind::Warning);
  EXPECT_EQ(Last().PanelBackground, kYellow);
  EXPECT_EQ(Last().PanelForeground, kBlack);
}

TEST_F(MessageWindowTest, FatalMessagesUpToTenEndTheCompanionFirst) {
  m_window.ShowMessageNo(2);
  EXPECT_EQ(m_companionEnded, 1);
  EXPECT_EQ(Last().TextEng, std::string(kFatalEnglish) + "TELVANO database can not be read!");
  m_window.ShowMessageNo(10);
  EXPECT_EQ(m_companionEnded, 2);
  m_window.ShowMessageText(3, "a", "b");
  m_window.ShowProcessorError("2100");
  EXPECT_EQ(m_companionEnded, 2);
}

TEST_F(MessageWindowTest, ShowMessageTextWithOnlyEnglishShowsItInBothColumnsWrapped) {
  const std::string english = std::string(70, 'E');
  m_window.ShowMessageText(18, "", english);
  const std::string wrapped = std::string(64, 'E') + "\n" + std::string(6, 'E');
  EXPECT_EQ(Last().TextLng, kFatalSerbian + wrapped);
  EXPECT_EQ(Last().TextEng, kFatalEnglish + wrapped);
  EXPECT_EQ(Last().Title, "TELVANO - Poruka / Message:   1018");
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 " + english + "\r\n");  // logged before wrapping

  m_window.ShowMessageText(35, "Samo srpski", "");
  EXPECT_EQ(Last().TextEng, "Samo srpski");
  EXPECT_EQ(Last().TextLng, "Samo srpski");
}

TEST_F(MessageWindowTest, ProcessorErrorSplitsTheTableTextAtItsFirstSlash) {
  m_window.ShowProcessorError("2100");
  EXPECT_EQ(Last().Title, "TELVANO - Poruka / Message:   1019");
  EXPECT_EQ(Last().TextLng, std::string(kFatalSerbian) + "PFR GREŠKA\n\n2100: PIN nije u redu");
  EXPECT_EQ(Last().TextEng, std::string(kFatalEnglish) + "SDC ERROR\n\n2100: Pin Not OK");

  m_window.ShowProcessorError("2230");  // no blank after the slash
  EXPECT_EQ(Last().TextLng, std::string(kFatalSerbian) + "PFR GREŠKA\n\n2230: Protokol BE se ne slaže");
  EXPECT_EQ(Last().TextEng, std::string(kFatalEnglish) + "SDC ERROR\n\n2230: SE Protocol Mismatch");

  m_window.ShowProcessorError("2310");  // only the first slash splits
  EXPECT_EQ(Last().TextLng,
            std::string(kFatalSerbian) + "PFR GREŠKA\n\n2310: Nevažeća poreska labela /(grupa)");

  m_window.ShowProcessorError("9999");
  EXPECT_EQ(Last().TextLng, std::string(kFatalSerbian) + "PFR GREŠKA\n\n9999: ");
  EXPECT_EQ(Last().TextEng, std::string(kFatalEnglish) + "SDC ERROR\n\n9999: ");
  EXPECT_EQ(Log(),
            "2024-03-01 08:15:02 2100: Pin Not OK / PIN nije u redu\r\n"
            "2024-03-01 08:15:02 2230: SE Protocol Mismatch /Protokol BE se ne slaže\r\n"
            "2024-03-01 08:15:02 2310: Invalid tax labels / Nevažeća poreska labela /(grupa)\r\n"
            "2024-03-01 08:15:02 9999: \r\n");
}

TEST_F(MessageWindowTest, InformationLineWithAndWithoutADatabase) {
  m_window.ShowMessageNo(31);
  EXPECT_EQ(Last().Info,
            "Info: 2024-03-01 08:15:02 | AB12CD34 | 100200300 | PJ0001 | DEV | VPFR | r10.0.023 / 10.16");

  TFormYellowMsg closed{
      m_configuration, m_state, m_clock,
      m_log,           m_view,  []() -> std::string { throw std::runtime_error("database closed"); }};
  m_state.Clear();
  EXPECT_EQ(closed.StatusInfoLine(), "2024-03-01 08:15:02 |  |  |  |  | LPFR | r10.0.023 / ");
  closed.ShowMessageNo(3);
  EXPECT_EQ(Last().Info, "Info: 2024-03-01 08:15:02 |  |  |  |  | LPFR | r10.0.023 / ");
}

TEST_F(MessageWindowTest, NumbersWithoutTextAndOutOfRange) {
  m_window.ShowMessageNo(99);
  EXPECT_EQ(Last().TextLng, kFatalSerbian);
  EXPECT_EQ(Last().TextEng, kFatalEnglish);
  m_window.ShowMessageNo(150);
  EXPECT_EQ(Last().Title, "TELVANO - Poruka / Message:   1150");
  EXPECT_EQ(Last().Kind, MessageKind::Fatal);
  m_window.ShowMessageNo(22);
  EXPECT_EQ(Last().TextLng, "");
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 \r\n2024-03-01 08:15:02 \r\n2024-03-01 08:15:02 \r\n");
}

TEST_F(MessageWindowTest, CyrillicBecomesSubstituteInWrappedTextsAndLogButNotInNumberedMessages) {
  m_configuration.CodePage = "windows-1250";
  m_window.ShowMessageText(25, "Račun ПФР", "Invoice ПФР");
  EXPECT_EQ(Last().TextLng, "Račun ???");
  EXPECT_EQ(Last().TextEng, "Invoice ???");
  EXPECT_EQ(Last().LogText, "Invoice ???");
  m_window.ShowMessageNo(3);
  EXPECT_EQ(Last().TextLng, std::string(kFatalSerbian) + "Verzija DB nije podržana!");
}

TEST_F(MessageWindowTest, AnUnwritableLogDoesNotHideTheMessage) {
  m_configuration.LogsDir = m_dir / "no-such-folder";
  m_window.ShowMessageNo(4);
  EXPECT_EQ(m_view.shown.size(), 1u);
}

TEST(MessageTable, LookupsAndTheProcessorCodes) {
  const MessageTable table;
  EXPECT_EQ(table.TextInLanguage(3), "Verzija DB nije podržana!");
  EXPECT_EQ(table.TextEnglish(3), "Unsupported DB version!");
  EXPECT_EQ(table.TextInLanguage(100), "");
  EXPECT_EQ(table.TextEnglish(-1), "");
  const MessageTable english("ENG");
  EXPECT_EQ(english.TextInLanguage(17), "PAC is invalid");

  const auto& codes = ProcessorErrorTexts();
  ASSERT_EQ(codes.size(), 21u);
  EXPECT_EQ(codes.front().code, "1100");
  EXPECT_EQ(codes.back().code, "2808");
  for (std::size_t i = 1; i < codes.size(); ++i) EXPECT_LT(codes[i - 1].code, codes[i].code);
  EXPECT_EQ(ProcessorErrorTextOf("1500"), "Pin Code Required / POtrebno je uneti PIN");
  EXPECT_EQ(ProcessorErrorTextOf("150"), "");

  EXPECT_EQ(KindOfMessage(19), MessageKind::Fatal);
  EXPECT_EQ(KindOfMessage(20), MessageKind::Warning);
  EXPECT_EQ(KindOfMessage(29), MessageKind::Warning);
  EXPECT_EQ(KindOfMessage(30), MessageKind::Information);
  EXPECT_EQ(KindOfMessage(40), MessageKind::Fatal);
  EXPECT_EQ(KindOfMessage(-1), MessageKind::Fatal);
}

TEST(HeadlessYellowMsgView, WritesTheMessageAndReturns) {
  std::ostringstream out;
  HeadlessYellowMsgView view(out);
  YellowMsgContent content;
  content.Title = "TELVANO - Poruka / Message:   1031";
  content.TypeCaption = "OBAVEŠTENJE / INFO";
  content.TextEng = "READY TO USE";
  view.Show(content);
  view.ShowInfo("Pogrešna lozinka!");
  EXPECT_NE(out.str().find("1031"), std::string::npos);
  EXPECT_NE(out.str().find("READY TO USE"), std::string::npos);
  EXPECT_NE(out.str().find("Pogrešna lozinka!"), std::string::npos);
}

TEST_F(MessageWindowTest, UnderTheJournalEachMessageIsOneLineWithTheWeightOfItsKind) {
  std::ostringstream journal;
  std::streambuf* const saved = std::cerr.rdbuf(journal.rdbuf());
  LogWriter log(m_configuration, m_clock, LogEcho::Journal);
  std::ostringstream viewOut;
  HeadlessYellowMsgView view(viewOut, true);
  TFormYellowMsg window(m_configuration, m_state, m_clock, log, view);
  window.ShowMessageNo(2);
  window.ShowMessageText(25, "", "Pažnja / Attention");
  window.ShowMessageNo(31);
  window.ShowInfo("Niste izabrali sertifikat\r\nza rad");
  std::cerr.rdbuf(saved);
  EXPECT_EQ(journal.str(),
            "<3>TELVANO database can not be read!\n<4>Pažnja / Attention\n<6>READY TO USE\n");
  // The window itself adds only the plain box, as warnings; the log file is as it always was.
  EXPECT_EQ(viewOut.str(), "<4>Niste izabrali sertifikat\n<4>za rad\n");
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 TELVANO database can not be read!\r\n"
                   "2024-03-01 08:15:02 Pažnja / Attention\r\n"
                   "2024-03-01 08:15:02 READY TO USE\r\n");
}

}  // namespace
}  // namespace telvano::core
