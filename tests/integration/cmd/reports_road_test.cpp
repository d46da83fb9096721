// Reports over invoices that went the whole way: CSV files through the invoice handler to the simulated
// processor, stored answers, then a command file with the five reports. Every expected figure is summed by
// hand from the invoices below (tax amounts are chosen so that the processor's rounding cannot blur them).
#include <gtest/gtest.h>

#include <filesystem>

#include "cmd/tform_cmd.h"
#include "invoice_road.h"
#include "recorders.h"
#include "sdc/tform_common.h"

namespace telvano::cmd {
namespace {

namespace fs = std::filesystem;
using telvano::testing::ReadFileBytes;
using telvano::testing::WriteFileBytes;

std::string Csv(const std::string& items, const std::string& payments, const std::string& others = "") {
  return "BLOCK_ITEMS\r\n" + items + "E-O-B\r\nBLOCK_PAYMENTS\r\n" + payments + "E-O-B\r\nBLOCK_OTHERS\r\n" +
         "cashier,Kasir1\r\n" + others + "E-O-B\r\n";
}

class ReportsRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 2024-05-06: two sales (Ђ 20 % and Е 10 %) and a refund of part of the first.
    m_road.Fiscalise("INV_NS_0001.csv", Csv(",Hleb,60,2,kom,120,Ђ\r\n,Mleko,11,5,l,55,Е\r\n",
                                            "Cash,,100\r\nCard,,75\r\n"));
    m_road.Fiscalise("INV_NS_0002.csv", Csv(",\"Sir zlatiborski\",240,1,kg,240,Ђ\r\n", "Card,,240\r\n"));
    const auto first = m_road.m_database.Db().QueryFirst(
        "select r.invoice_number, r.sdc_date_time from inv_response r join inv_request q on q.inv_uuid=r.inv_uuid "
        "where q.ext_filename=?",
        {std::string("INV_NS_0001.CSV")});
    ASSERT_TRUE(first.has_value());
    m_road.Fiscalise("INV_NR_0003.csv",
                     Csv(",Hleb,60,2,kom,120,Ђ\r\n", "Cash,,120\r\n",
                         "referentDocumentNumber," + (*first)[0].AsString() + "\r\nreferentDocumentDT," +
                             (*first)[1].AsString() + "\r\n"));
    // 2024-05-07 and 2024-06-01: one sale each.
    m_road.SetProcessorTime(telvano::cmd::testing::Utc(2024, 5, 7, 9));
    m_road.Fiscalise("INV_NS_0004.csv", Csv(",Mleko,11,1,l,11,Е\r\n", "Cash,,11\r\n"));
    m_road.SetProcessorTime(telvano::cmd::testing::Utc(2024, 6, 1, 9));
    m_road.Fiscalise("INV_NS_0005.csv", Csv(",Hleb,60,1,kom,60,Ђ\r\n", "Cash,,60\r\n"));

    const auto signer = m_road.m_database.Db().QueryFirst("select requested_by, signed_by from inv_response");
    ASSERT_TRUE(signer.has_value());
    m_by = (*signer)[0].AsString() + "," + (*signer)[1].AsString();
  }

  std::string Report(const std::string& name, const std::string& lines) {
    WriteFileBytes(m_road.In(name), lines);
    m_cmd.ProcessCmdFile(name);
    return ReadFileBytes(m_road.Out(TFormCmd::ResponseFileName(name)));
  }

  // "2024-05-06,<requested_by>,<signed_by>," + rest + CR LF
  std::string Line(const std::string& period, const std::string& rest) const {
    return period + "," + m_by + "," + rest + "\r\n";
  }

  testing::InvoiceRoad m_road{telvano::cmd::testing::Utc(2024, 5, 6, 8)};
  testing::RecordingMessages m_messages;
  testing::RecordingApplication m_application;
  sdc::TFormCommon m_common{m_road.m_configuration, m_road.m_workingState, m_road.m_http, m_messages,
                            &m_road.m_database.Db()};
  TFormCmd m_cmd{m_road.m_configuration, m_road.m_workingState, m_road.m_database.Db(), m_common,
                 m_road.m_printer,       m_application,            m_road.m_clock};
  std::string m_by;
};

TEST_F(ReportsRoadTest, TotalsByDayMonthYearAndEverything) {
  // Grouped rows come in the database's order, which for these groupings is the order of the group columns.
  EXPECT_EQ(Report("CMD_X.csv", "X-REPORT,2024-05-06\r\nX-REPORT,2024-05\r\nX-REPORT,2024\r\nX-REPORT,\r\n"),
            Line("2024-05-06", "NR,120.00") + Line("2024-05-06", "NS,415.00") +  // 175 + 240
                Line("2024-05", "NR,120.00") + Line("2024-05", "NS,426.00") +    // + 11
                Line("2024-05", "NR,120.00") + Line("2024-05", "NS,426.00") + Line("2024-06", "NS,60.00") +
                Line("2024-05", "NR,120.00") + Line("2024-05", "NS,426.00") + Line("2024-06", "NS,60.00"));
}

TEST_F(ReportsRoadTest, TaxSaleAndPaymentTotals) {
  // Tax included in the price: Ђ 20 % of 120 is 20, of 240 is 40; Е 10 % of 55 is 5, of 11 is 1.
  EXPECT_EQ(Report("CMD_T.csv", "TAX-REPORT,2024-05-06\r\nTAX-REPORT,2024-05\r\n"),
            Line("2024-05-06", "NR,Ђ,06,20.0000") + Line("2024-05-06", "NS,Ђ,06,60.0000") +
                Line("2024-05-06", "NS,Е,07,5.0000") + Line("2024-05", "NR,Ђ,06,20.0000") +
                Line("2024-05", "NS,Ђ,06,60.0000") + Line("2024-05", "NS,Е,07,6.0000"));
  EXPECT_EQ(Report("CMD_S.csv", "SALE-REPORT,2024-05-06\r\nSALE-REPORT,2024\r\n"),
            Line("2024-05-06", "NR,Ђ,06,120.00") + Line("2024-05-06", "NS,Ђ,06,360.00") +
                Line("2024-05-06", "NS,Е,07,55.00") + Line("2024-05", "NR,Ђ,06,120.00") +
                Line("2024-05", "NS,Ђ,06,360.00") + Line("2024-05", "NS,Е,07,66.00") +
                Line("2024-06", "NS,Ђ,06,60.00"));
  EXPECT_EQ(Report("CMD_P.csv", "PAY-REPORT,2024-05-06\r\nPAY-REPORT,2024-05\r\n"),
            Line("2024-05-06", "NR,Cash,120.00") + Line("2024-05-06", "NS,Card,315.00") +
                Line("2024-05-06", "NS,Cash,100.00") + Line("2024-05", "NR,Cash,120.00") +
                Line("2024-05", "NS,Card,315.00") + Line("2024-05", "NS,Cash,111.00"));
}

TEST_F(ReportsRoadTest, SingleInvoicesInCounterOrder) {
  const std::string response = Report("CMD_I.csv", "INV-REPORT,2024-05-06\r\nINV-REPORT,\r\n");
  // Sales and refunds count separately (transaction_type_counter), the total counter runs over both.
  const std::string day = Line("2024-05-06", "1,1,NS,175.00") + Line("2024-05-06", "1,3,NR,120.00") +
                          Line("2024-05-06", "2,2,NS,240.00");
  EXPECT_EQ(response, day + day + Line("2024-05-07", "3,4,NS,11.00") + Line("2024-06-01", "4,5,NS,60.00"));
}

}  // namespace
}  // namespace telvano::cmd

namespace telvano::cmd {
namespace {

// The tax groups as the processor published them (loaded when the road was set up), ordered by group and by
// the chosen label column.
TEST_F(ReportsRoadTest, TaxGroupsAsTheProcessorPublishedThem) {
  const std::string group6Codes =
      "6,01,0,0,\"Није у ПДВ\",3,2024-01-01T00:00:00Z\r\n"
      "6,04,0,0,\"Без ПДВ\",4,2024-01-01T00:00:00Z\r\n"
      "6,06,20,0,О-ПДВ,1,2024-01-01T00:00:00Z\r\n"
      "6,07,10,0,П-ПДВ,2,2024-01-01T00:00:00Z\r\n";
  const std::string codes = Report("CMD_G1.csv", "GET-TAXGROUPS,1\r\n");
  EXPECT_TRUE(codes.starts_with(group6Codes)) << codes;
  EXPECT_TRUE(codes.ends_with("7,08,19,0,ПДВ-Ж,5,2099-01-01T00:00:00Z\r\n")) << codes;
  const std::string letters = Report("CMD_G0.csv", "GET-TAXGROUPS,0\r\n");
  // With letters the rows are ordered by the letters themselves: Ђ (U+0402) sorts before А (U+0410).
  EXPECT_TRUE(letters.starts_with("6,Ђ,20,0,О-ПДВ,1,2024-01-01T00:00:00Z\r\n6,А,0,0,\"Није у ПДВ\",3,")) << letters;
  EXPECT_TRUE(letters.ends_with("7,Ж,19,0,ПДВ-Ж,5,2099-01-01T00:00:00Z\r\n")) << letters;
}

}  // namespace
}  // namespace telvano::cmd
