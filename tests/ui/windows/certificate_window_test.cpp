#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "../../integration/cert/certificate_fixture.h"
#include "qt_test_app.h"
#include "ui/certificate_window.h"

namespace telvano::cert::testing {
namespace {

using telvano::testing::WithQtApp;

class CertificateWindowTest : public WithQtApp, public CertificateFixture, public ::testing::Test {
 protected:
  CertificateWindowTest() : m_window(m_form) { m_form.AttachView(m_window); }

  QLineEdit* Edit(const char* name) {
    auto* edit = m_window.findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
  }
  QPushButton* Save() { return m_window.findChild<QPushButton*>("PanelImportCertificate"); }

  // Runs `action` once the window is up, then ShowModal; fails if the window does not close.
  void ShowWith(std::function<void()> action) {
    QTimer::singleShot(50, &m_window, std::move(action));
    QTimer::singleShot(10000, &m_window, [this] {
      ADD_FAILURE() << "the certificate window did not close";
      m_window.reject();
    });
    m_form.ShowModal();
  }

  ui::CertificateWindow m_window;
};

TEST_F(CertificateWindowTest, ANewVpfrShowsTheFoundFileAndTakesAnUpperCasePassword) {
  telvano::testing::WriteFileBytes(m_root.Path() / "Certificate" / "firma.p12", "x");
  ChooseNew(false, "ABC123");
  ShowWith([this] {
    EXPECT_EQ(Edit("LEPfx")->text(), "firma.p12");
    EXPECT_TRUE(Edit("LEPfx")->isReadOnly());
    EXPECT_FALSE(Edit("LEOID3587")->isVisible());
    EXPECT_FALSE(Edit("EditOID3586")->isVisible());
    EXPECT_EQ(m_window.focusWidget(), Edit("LEPassword"));
    QTest::keyClicks(Edit("LEPassword"), "abc12345x");
    EXPECT_EQ(Edit("LEPassword")->text(), "ABC12345");
    EXPECT_EQ(m_form.Text(CertificateComponent::LEPassword), "ABC12345");
    EXPECT_TRUE(Save()->isVisible());
    QTest::keyClick(&m_window, Qt::Key_Escape);
  });
  EXPECT_FALSE(m_window.isVisible());
  EXPECT_EQ(m_form.Text(CertificateComponent::LEPassword), "");  // forgotten when the window closed
}

TEST_F(CertificateWindowTest, ANewLpfrTakesTheAddressAndTheDeveloperTin) {
  ChooseNew(true, "1234");
  ShowWith([this] {
    QLineEdit* url = Edit("LEOID3587");
    EXPECT_EQ(url->text(), "http://localhost:port");
    EXPECT_FALSE(url->isReadOnly());
    EXPECT_EQ(m_window.focusWidget(), url);
    EXPECT_FALSE(Edit("LEPassword")->isVisible());
    QTest::keyClicks(Edit("LEDeveloperTin"), "12a34567890");
    EXPECT_EQ(Edit("LEDeveloperTin")->text(), "123456789");
    url->selectAll();
    QTest::keyClick(url, Qt::Key_Delete);
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(m_messages.Last(), "info:Niste uneli putanju do lokalnog procesora!");
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_EQ(m_form.Text(CertificateComponent::LEDeveloperTin), "123456789");
    m_window.reject();
  });
}

TEST_F(CertificateWindowTest, AWorkingCertificateIsShownReadOnlyWithoutASaveButton) {
  m_connection->Execute(
      "insert into cert_se (serial, not_after, ind_act, ind_lpfr, sub_tin, sub_o, sub_ou, srv_url) values "
      "('AB12CD34', 'Dec 31 23:59:59 2030 GMT', 'Y', 'N', '100200300', 'Firma', 'PJ 0001', "
      "'https://v.test')");
  ASSERT_TRUE(m_workingCertificate.LoadWorkingCertificate("AB12CD34"));
  ShowWith([this] {
    EXPECT_EQ(m_window.windowTitle().toStdString(),
              core::WindowCaption(m_state, m_configuration.ProgramVersion));
    EXPECT_EQ(Edit("EditSerialNumber")->text(), "AB12CD34");
    EXPECT_EQ(Edit("EditNotAfter")->text(), "2030-12-31");
    EXPECT_EQ(Edit("EditOID3586")->text(), "100200300");
    EXPECT_TRUE(Edit("EditOID3586")->isVisible() && Edit("EditOID3586")->isReadOnly());
    EXPECT_TRUE(Edit("LEOID3587")->isReadOnly());
    EXPECT_FALSE(Save()->isVisible());
    EXPECT_EQ(m_window.focusWidget(), Edit("EditCursorPlace"));
    QTest::keyClick(&m_window, Qt::Key_Escape);
  });
}

}  // namespace
}  // namespace telvano::cert::testing
