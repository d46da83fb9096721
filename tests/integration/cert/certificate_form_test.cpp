// The working-certificate window's logic: its modes, the PFX lookup, Esc, the clean-up, the certificate list.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "certificate_fixture.h"
#include "db/settings.h"
#include "platform/whole_file.h"

namespace telvano::cert::testing {
namespace {

namespace fs = std::filesystem;
using telvano::testing::ReadFileBytes;
using telvano::testing::WriteFileBytes;
using C = CertificateComponent;

class CertificateFormTest : public CertificateFixture, public ::testing::Test {
 protected:
  void AddRow(const std::string& serial, const std::string& lpfr, const std::string& tin,
              const std::string& unit, const std::string& notAfter, const std::string& envName,
              const std::string& org) {
    m_connection->Execute(
        "insert into cert_se (serial, not_after, ind_act, ind_lpfr, sub_tin, sub_c, sub_cn, sub_o, sub_ou, "
        "sub_st, "
        "sub_l, sub_street, srv_url, env_name) values (?, ?, 'Y', ?, ?, 'RS', 'CN 1', ?, ?, 'Beograd', "
        "'Zemun', "
        "'Ulica 1', ?, ?)",
        {serial, db::SqlValue(notAfter), lpfr, tin, org, unit, std::string("https://vpfr.test"), envName});
  }
};

struct ModeCase {
  const char* name;
  bool stored;       // a working certificate row exists and is loaded
  const char* lpfr;  // its ind_lpfr, or the "Novi" entry chosen
  const char* notAfter;
  CertificateMode mode;
  const char* shownNotAfter;
  const char* shownUrl;
  const char* focus;
};

TEST_F(CertificateFormTest, EachModeShowsAndLocksItsComponents) {
  const ModeCase cases[] = {
      {"vpfr row", true, "N", "Dec 31 23:59:59 2030 GMT", CertificateMode::Show, "2030-12-31",
       "https://vpfr.test", "EditCursorPlace"},
      {"blank-padded day", true, "N", "Jan  5 08:00:00 2031 GMT", CertificateMode::Show, "2031-01-05",
       "https://vpfr.test", "EditCursorPlace"},
      // A date in another layout is shown as stored instead of making the window unusable.
      {"odd date", true, "N", "2030-12-31", CertificateMode::Show, "2030-12-31", "https://vpfr.test",
       "EditCursorPlace"},
      {"lpfr row", true, "Y", "", CertificateMode::Show, "", "https://vpfr.test", "EditCursorPlace"},
      {"new lpfr", false, "Y", "", CertificateMode::NewLpfr, "", kLocalhostPortText, "LEOID3587"},
      {"new vpfr", false, "N", "", CertificateMode::NewVpfr, "", "", "LEPassword"},
  };
  db::WriteSetting(*m_connection, "SDC_MRC", "00-1002-X");
  db::WriteSetting(*m_connection, "DEVELOPER_TIN", "123456789");
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_connection->Execute("delete from cert_se");
    ChooseNew(std::string(c.lpfr) == "Y", "");
    if (c.stored) {
      AddRow("SER00001", c.lpfr, "100200300", "PJ 0001 Centar", c.notAfter, "СУФ Развој", "Firma");
      ASSERT_TRUE(m_workingCertificate.LoadWorkingCertificate("SER00001"));
    }
    m_messages.calls.clear();
    m_form.FormShow();
    const bool show = c.mode == CertificateMode::Show;
    EXPECT_EQ(m_form.Mode(), c.mode);
    EXPECT_EQ(m_form.Text(C::EditNotAfter), c.shownNotAfter);
    EXPECT_EQ(m_form.Text(C::LEOU), show ? "PJ 0001 Centar" : "");
    EXPECT_EQ(m_form.Text(C::LEOID3587), c.shownUrl);
    EXPECT_EQ(m_form.Text(C::LESDCMrc) + "|" + m_form.Text(C::LEDeveloperTin), "00-1002-X|123456789");
    EXPECT_EQ(m_view.caption, core::WindowCaption(m_state, m_configuration.ProgramVersion));
    EXPECT_EQ(m_view.focus, c.focus);
    for (C subject :
         {C::EditC, C::EditOID3586, C::EditCN, C::EditO, C::LEOU, C::EditST, C::EditL, C::EditStreet}) {
      EXPECT_EQ(m_form.Visible(subject), show) << ComponentName(subject);
    }
    EXPECT_EQ(m_form.ReadOnly(C::LEOID3587), c.mode != CertificateMode::NewLpfr);
    EXPECT_EQ(m_form.Visible(C::LEOID3587), c.mode != CertificateMode::NewVpfr);
    EXPECT_EQ(m_form.Visible(C::LEPassword), c.mode == CertificateMode::NewVpfr);
    EXPECT_EQ(m_form.Visible(C::LEPfx), c.mode == CertificateMode::NewVpfr);
    EXPECT_EQ(m_form.Visible(C::PanelImportCertificate), !show);
    // Without a PFX file in CertificateDir a new VPFR is told where to put one.
    EXPECT_EQ(m_messages.calls.size(), c.mode == CertificateMode::NewVpfr ? 1u : 0u);
    if (c.mode == CertificateMode::NewVpfr) {
      EXPECT_EQ(m_messages.Last(), "info:" + std::string(kNoPfxFileText) + m_configuration.CertificateDir);
    }
  }
}

TEST_F(CertificateFormTest, TheFirstReadablePfxOrP12FileByNameIsTaken) {
  ChooseNew(false, "ABC123");
  fs::create_directories(fs::path(m_configuration.CertificateDir) / "0.pfx");  // a folder
  for (const char* name : {".hidden.pfx", "a.txt", "c.pfx", "b.P12"}) {
    WriteFileBytes(fs::path(m_configuration.CertificateDir) / name, "x");
  }
  m_form.FormShow();
  EXPECT_EQ(m_form.PfxFileName(), "b.P12");
  EXPECT_EQ(m_form.Text(C::LEPfx), "b.P12");
  EXPECT_TRUE(m_messages.calls.empty());

  // A file that cannot be opened ends the search, as in the original.
  if (::geteuid() != 0) {
    ::chmod((fs::path(m_configuration.CertificateDir) / "a.txt").c_str(), 0);
    m_form.FormShow();
    EXPECT_EQ(m_form.PfxFileName(), "");
    EXPECT_EQ(m_messages.Last(), "info:" + std::string(kNoPfxFileText) + m_configuration.CertificateDir);
  }
}

TEST_F(CertificateFormTest, TheCloseForgetsThePasswordAndInterruptedKeyWrites) {
  ChooseNew(false, "ABC123");
  WriteFileBytes(fs::path(m_configuration.CertificateDir) / "x.pfx", "x");
  m_form.FormShow();
  m_form.LEPasswordChange("TAJNA123");
  WriteFileBytes(fs::path(m_configuration.CertificateDir) / ".AB12_key.pem.tmp", "half a key");
  WriteFileBytes(fs::path(m_configuration.CertificateDir) / ".AB12_cert.pem.0a1b2c3d.tmp", "half a certificate");
  WriteFileBytes(fs::path(m_configuration.CertificateDir) / "AB12_key.pem", "a whole key");
  m_form.FormClose();
  EXPECT_EQ(m_form.Text(C::LEPassword), "");
  EXPECT_EQ(m_form.PfxFileName(), "");
  EXPECT_EQ(CertificateFiles(), (std::vector<std::string>{"AB12_key.pem", "x.pfx"}));
}

TEST_F(CertificateFormTest, TheListHasOneQuotedLinePerCertificateInTinUnitKindOrder) {
  AddRow("VP000002", "N", "200", "PJ 2", "Dec 31 23:59:59 2030 GMT", "суф продукција", "Firma, d.o.o.");
  AddRow("LP000001", "Y", "100", "PJ 1", "", "СУФ Развој", "Radnja \"Sunce\"");
  AddRow("VP000001", "N", "100", "PJ 1", "Jan  5 08:00:00 2031 GMT", "", "Radnja");
  m_form.ExportCertificateList();
  const std::string path = m_configuration.CertificateDir + "/Lista_CERT.csv";
  EXPECT_EQ(
      ReadFileBytes(path),
      "\xEF\xBB\xBF"
      "VP000001,100,\"PJ 1\",DEV,VPFR,\"Jan  5 08:00:00 2031 GMT\",Radnja,Beograd,\"Ulica "
      "1\",https://vpfr.test\r\n"
      "LP000001,100,\"PJ 1\",DEV,LPFR,,\"Radnja \"\"Sunce\"\"\",Beograd,\"Ulica 1\",https://vpfr.test\r\n"
      "VP000002,200,\"PJ 2\",PROD,VPFR,\"Dec 31 23:59:59 2030 GMT\",\"Firma, d.o.o.\",Beograd,\"Ulica 1\","
      "https://vpfr.test\r\n");
  EXPECT_EQ(m_messages.Last(), "info:Lista sertifikata sačuvana u: " + path);

  // A folder that cannot take the file: the write error goes to the menu.
  fs::remove_all(m_configuration.CertificateDir);
  EXPECT_THROW(m_form.ExportCertificateList(), platform::FileError);
}

}  // namespace
}  // namespace telvano::cert::testing
