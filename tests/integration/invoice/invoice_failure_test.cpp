// Every failure leaves no rows, moves the POS file to the archive and tells the POS why in <base>_err.txt.
#include "invoice_fixture.h"

#include <sys/stat.h>

namespace telvano::invoice::testing {
namespace {

using ::telvano::testing::ReadFileBytes;

const std::string kHeading = "SDC:  error messages  |  PFR:  poruke o greškama";

class InvoiceFailure : public InvoiceRoadTest {
 protected:
  std::string Good() const { return InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Pera"}); }

  // The failure left nothing behind but the archived input and the error file.
  void ExpectUndone(const std::string& name, const std::string& content) {
    EXPECT_FALSE(Exists(Input(name))) << name;
    ASSERT_TRUE(Exists(Archive(name))) << name;
    EXPECT_EQ(ReadFileBytes(Archive(name)), content);
    for (const char* table : {"inv_request", "inv_sale_items", "inv_pay_items", "inv_response", "inv_tax_items"}) {
      EXPECT_EQ(Count(table), 0) << table;
    }
    EXPECT_EQ(m_clock.TotalSlept().count(), 0);  // no pause after a failure
  }

  // The archive's <uuid>_*.json files, each without its identifier.
  std::vector<std::string> WorkFiles() const {
    std::vector<std::string> result;
    for (const auto& name : ArchiveFiles()) {
      if (name.size() > 36 && name[8] == '-' && name[36] == '_') result.push_back(name.substr(36));
    }
    return result;
  }

  std::string FailWith(const std::string& name, const std::string& content) {
    Process(name, content);
    ExpectUndone(name, content);
    return ErrorText(Base(name));
  }

  // An answer that may stand for a signed invoice holds the input; once the processor still does not find
  // it after the request's deadline, the invoice takes the plain failure path with the original reason.
  std::string FailOnceTheDeadlinePassed(const std::string& name, const std::string& content) {
    Process(name, content);
    EXPECT_EQ(ErrorText(Base(name)).rfind(kMessageOutcomeUnknown, 0), 0u) << ErrorText(Base(name));
    EXPECT_TRUE(Exists(Input(name)));
    m_clock = platform::ManualClock(m_clock.LocalNow());
    m_clock.Advance(m_http->RequestDeadline() + std::chrono::seconds(61));
    m_invoice->ResolveOpenInvoices();
    ExpectUndone(name, content);
    EXPECT_EQ(Count("inv_flight"), 0);
    return ErrorText(Base(name));
  }

  static std::string Base(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
  }
};

TEST_F(InvoiceFailure, NameChecks) {
  EXPECT_EQ(FailWith("INV_XS_1.csv", Good()), "Neodgovarajući naziv file-a - IT!");
  EXPECT_EQ(FailWith("INV_NX_1.csv", Good()), "Neodgovarajući naziv file-a - TT!");
  EXPECT_EQ(FailWith("INV_NS_.csv", Good()), "Neodgovarajući naziv file-a - pattern!");
  EXPECT_EQ(FailWith("INV_NSX1.csv", Good()), "Neodgovarajući naziv file-a - pattern!");
  EXPECT_EQ(FailWith("INV_NS_1.txt", Good()), "NEMA BLOCK_ITEMS");  // only .csv files are read
  EXPECT_TRUE(InvoiceRequests().empty());
}

TEST_F(InvoiceFailure, DuplicateNameIsRefusedWithoutRegardToCase) {
  Process("inv_ns_1.csv", Good());
  // Results carry the POS's own spelling of the name: a case-sensitive file system finds them only so.
  ASSERT_TRUE(Exists(Output("inv_ns_1_basic.csv")));
  m_clock = platform::ManualClock();
  Process("INV_NS_1.CSV", Good());
  EXPECT_EQ(ErrorText("INV_NS_1"), "Račun je već fiskalizovan!");
  EXPECT_TRUE(Exists(Archive("INV_NS_1.CSV")));
  EXPECT_EQ(Count("inv_request"), 1);
  EXPECT_EQ(InvoiceRequests().size(), 1u);
}

TEST_F(InvoiceFailure, BlockMessages) {
  EXPECT_EQ(FailWith("INV_NS_a.csv", "BLOCK_PAYMENTS\r\nE-O-B\r\n"), "NEMA BLOCK_ITEMS");
  EXPECT_EQ(FailWith("INV_NS_b.csv", "BLOCK_ITEMS\r\nE-O-B\r\n"), "NEMA BLOCK_PAYMENTS");
  EXPECT_EQ(FailWith("INV_NS_c.csv", "BLOCK_ITEMS\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nE-O-B\r\n"), "NEMA BLOCK_OTHERS");
  EXPECT_EQ(FailWith("INV_NS_d.csv", "E-O-B\r\nBLOCK_ITEMS\r\n,Kafa,10,1,kom,10,Ђ\r\n"), "NEMA E-O-B");
  EXPECT_EQ(FailWith("INV_NS_e.csv", InvoiceFile({",Kafa,1,1,kom,1"}, {}, {})),
            "BLOCK_ITEMS Neodgovarajući broj kolona: BLOCK_ITEMS");
  EXPECT_EQ(FailWith("INV_NS_f.csv", InvoiceFile({}, {"Cash,10"}, {})),
            "BLOCK_PAYMENTS Neodgovarajući broj kolona: BLOCK_PAYMENTS");
  EXPECT_EQ(FailWith("INV_NS_g.csv", InvoiceFile({}, {}, {"cashier"})),
            "BLOCK_OTHERS Neodgovarajući broj kolona: BLOCK_OTHERS");
  EXPECT_EQ(FailWith("INV_NS_h.csv", "BLOCK_ITEMS\r\n,\xC3(bad,1,1,kom,1,Ђ\r\nE-O-B\r\n"),
            "Neispravan UTF-8 tekst u redu 2 / Invalid UTF-8 text in line 2");
  EXPECT_TRUE(InvoiceRequests().empty());
}

TEST_F(InvoiceFailure, ProcessorUnreachable) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Dropped());
  const std::string text = FailOnceTheDeadlinePassed("INV_NS_u.csv", Good());
  EXPECT_FALSE(m_http->ErrorText.empty());
  EXPECT_EQ(text, kHeading + "\n\n" + m_http->ErrorText);
  EXPECT_TRUE(ArchiveFiles() == std::vector<std::string>{"INV_NS_u.csv"});  // the request file is gone too
}

TEST_F(InvoiceFailure, RefusalWithModelStateShowsOneEntryPerLineAndTheCodes) {
  m_sim->QueueFault("/api/v3/invoices",
                    pfrsim::Fault::Error(400, "{\"message\":\"Bad Request\",\"modelState\":[{\"property\":\"items[0]"
                                              ".labels\",\"errors\":[\"2310\"]},{\"property\":\"payment\",\"errors\":"
                                              "[\"2806\",\"2800\"]}]}"));
  EXPECT_EQ(FailWith("INV_NS_m.csv", Good()),
            kHeading + "\r\n"
            "\r\n"
            "\"message\":\"Bad Request\",\"modelState\":\n"
            "[\n"
            "\"property\":\"items[0].labels\",\"errors\":[\"2310\"],\n"
            "\"property\":\"payment\",\"errors\":[\"2806\",\"2800\"]\n"
            "]\r\n"
            "\r\n"
            "============================================================\r\n"
            "2310: Invalid tax labels / Nevažeća poreska labela /(grupa)\r\n"
            "2800: Field Required / Obavezno polje\r\n"
            "2806: Invalid Data Format / Format podatka ne odgovara\r\n");
}

TEST_F(InvoiceFailure, ServerErrorBodyStandsUnchanged) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(500, "Internal error 1999"));
  EXPECT_EQ(FailOnceTheDeadlinePassed("INV_NS_5.csv", Good()),
            kHeading + "\r\n\r\nInternal error 1999\r\n\r\n" + std::string(60, '=') +
                "\r\n1999: Undefined Warning / Nepoznato upozorenje\r\n");
}

TEST_F(InvoiceFailure, MalformedAnswerKeepsTheSavedAnswerOnly) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Malformed());
  EXPECT_EQ(FailOnceTheDeadlinePassed("INV_NS_j.csv", Good()), "SDC odgovor nije ispravan JSON! / SDC answer is not valid JSON!");
  // The input and <uuid>_resp.json stay; the request file is dropped.
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"_resp.json"});
  EXPECT_FALSE(Exists(Output("INV_NS_j_basic.csv")));
}

TEST_F(InvoiceFailure, AnswerWithoutTaxItems) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(200, "{\"requestedBy\":\"X\",\"journal\":\"J\"}"));
  EXPECT_EQ(FailOnceTheDeadlinePassed("INV_NS_t.csv", Good()), "SDC odgovor nema taxItems! / SDC answer without taxItems!");
}

TEST_F(InvoiceFailure, NonNumericAmountLeavesNoRowsAndTheNameCanBeSentAgain) {
  const std::string bad = InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,1O"}, {"cashier,Pera"});
  const std::string text = FailWith("INV_NS_n.csv", bad);
  EXPECT_FALSE(text.empty());
  EXPECT_TRUE(InvoiceRequests().empty());
  Process("INV_NS_n.csv", Good());
  EXPECT_TRUE(Exists(Output("INV_NS_n_basic.csv"))) << ErrorText("INV_NS_n");
  EXPECT_EQ(Count("inv_request"), 1);
}

TEST_F(InvoiceFailure, StatementByStatementStoringUndoesTheSame) {
  m_invoice->SetGroupedStores(false);
  const std::string bad = InvoiceFile({",Kafa,10,1,kom,10,Ђ", ",Sok,x,1,kom,10,Ђ"}, {"Cash,,10"}, {});
  FailWith("INV_NS_s.csv", bad);
  Process("INV_NS_s.csv", Good());
  EXPECT_TRUE(Exists(Output("INV_NS_s_basic.csv")));
}

TEST_F(InvoiceFailure, KeptRequestFileStaysOnFailureWithCustomizedJson) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(500, "x"));
  const std::string content = InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"CustomizedJSON,1"});
  FailOnceTheDeadlinePassed("INV_NS_k.csv", content);
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"_req.json"});
}

TEST_F(InvoiceFailure, PrinterFailureNeverUndoesASignedInvoice) {
  // The processor has signed: a printer that fails leaves the receipt stored and delivered, once.
  m_printer.failNext = true;
  Process("INV_NS_p.csv", InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"CustomizedExport,STAR"}));
  EXPECT_TRUE(Exists(Output("INV_NS_p_journal.txt")));
  EXPECT_TRUE(Exists(Output("INV_NS_p_basic.csv")));
  EXPECT_FALSE(Exists(Output("INV_NS_p_err.txt")));
  EXPECT_EQ(Count("inv_response"), 1);
  EXPECT_EQ(Count("inv_flight"), 0);
}

TEST_F(InvoiceFailure, OddFilesFailCleanly) {
  // A name of one megabyte does not fit the item column.
  const std::string longName(1 << 20, 'x');
  const std::string text = FailWith("INV_NS_big.csv", InvoiceFile({"," + longName + ",1,1,kom,1,Ђ"}, {}, {}));
  EXPECT_FALSE(text.empty());
  EXPECT_LT(text.size(), 4096u);
  // NUL bytes inside a field travel as data: the processor refuses or signs, nothing crashes.
  Process("INV_NS_nul.csv", InvoiceFile({std::string(",Ka\0fa,10,1,kom,10,Ђ", 20)}, {"Cash,,10"}, {}));
  EXPECT_NE(Exists(Output("INV_NS_nul_basic.csv")), Exists(Output("INV_NS_nul_err.txt")));
  // A FIFO in the input folder is never opened (that would block until someone writes into it).
  ASSERT_EQ(::mkfifo(Input("INV_NS_fifo.csv").c_str(), 0600), 0);
  m_invoice->ProcessCsvInvoice("INV_NS_fifo.csv");
  EXPECT_EQ(ErrorText("INV_NS_fifo"), "Nije običan fajl / Not a regular file: INV_NS_fifo.csv");
  // A missing input file.
  m_invoice->ProcessCsvInvoice("INV_NS_gone.csv");
  EXPECT_NE(ErrorText("INV_NS_gone").find("INV_NS_gone.csv"), std::string::npos);
}

}  // namespace
}  // namespace telvano::invoice::testing
