// TFormHTTP against real servers on 127.0.0.1: a raw socket server that records the request bytes, and
// cpp-httplib servers (plain and TLS with client certificates) for answers of every kind.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "raw_http_server.h"
#include "sdc/tform_http.h"
#include "support/loopback_ports.h"
#include "support/temp_dir.h"
#include "test_certificate.h"

namespace telvano::sdc {
namespace {

using telvano::testing::HeaderLines;
using telvano::testing::RawHttpServer;
using telvano::testing::RequestBody;
using telvano::testing::TempDir;
using telvano::testing::WriteFileBytes;

// A cpp-httplib server on an ephemeral port, served from its own thread.
class LocalServer {
 public:
  explicit LocalServer(std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>())
      : m_server(std::move(server)) {
    m_server->set_tcp_nodelay(true);
    m_port = m_server->bind_to_any_port("127.0.0.1");
  }
  ~LocalServer() {
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
  }
  httplib::Server& Server() { return *m_server; }
  void Start() {
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() only ends a server that is already listening.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server->is_running() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  }
  std::string Url(const std::string& scheme = "http") const {
    return scheme + "://127.0.0.1:" + std::to_string(m_port);
  }

 private:
  std::unique_ptr<httplib::Server> m_server;
  int m_port = 0;
  std::thread m_thread;
};

int ClosedPort() { return telvano::testing::ClosedLoopbackPort(); }

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  const auto found = std::find(lines.begin(), lines.end(), line);
  return found == lines.end() ? -1 : found - lines.begin();
}

class TransportTest : public ::testing::Test {
 protected:
  TransportTest() : http(configuration, working) {
    configuration.ArchiveDir = (temp.Path() / "Archive").string();
    configuration.CertificateDir = (temp.Path() / "Cert").string();
    std::filesystem::create_directories(configuration.ArchiveDir);
    std::filesystem::create_directories(configuration.CertificateDir);
    working.WorkPin = "1234";
    working.WorkSerial = "SER1";
  }

  // A VPFR request to `server` (speaking TLS): its certificate trusted, a client certificate for SER1.
  void UseAsVpfr(const RawHttpServer& server) {
    working.WorkUrl = server.BaseUrl();
    configuration.SdcCaFile = server.CaFile();
    const auto client = telvano::testing::MakeSelfSignedCertificate("SER1");
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / "SER1_cert.pem", client.certificatePem);
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / "SER1_key.pem", client.keyPem);
  }

  TempDir temp;
  core::Configuration configuration;
  core::WorkingState working;
  TFormHTTP http;
};

// ---- what goes out on the wire --------------------------------------------------------------------------

TEST_F(TransportTest, LocalRequestCarriesTheFixedHeaderLinesExactly) {
  RawHttpServer server(200, "{}");
  working.WorkUrl = server.BaseUrl();
  http.CallLPFR(kOpStatus, "", "0b7e2a0c-1f55-4c2f-9a4e-2f1d2d9d7c11");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /api/v3/status HTTP/1.1");
  const auto lines = HeaderLines(requests[0]);
  EXPECT_TRUE(HasLine(lines, "Accept: application/json"));
  EXPECT_TRUE(HasLine(lines, "Content-Type: application/json"));
  EXPECT_TRUE(HasLine(lines, "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:29.0) Gecko/20100101 Firefox/29.0"));
  const auto language = IndexOf(lines, "Accept-Language:sr-Cyrl-RS");
  const auto requestId = IndexOf(lines, "RequestId:0b7e2a0c-1f55-4c2f-9a4e-2f1d2d9d7c11");
  ASSERT_GE(language, 0);
  ASSERT_GE(requestId, 0);
  EXPECT_LT(language, requestId);
  for (const auto& line : lines) {
    EXPECT_NE(line.rfind("PAC", 0), 0u) << "a local processor gets no PAC: " << line;
    EXPECT_NE(line.rfind("Expect", 0), 0u) << line;
  }
  EXPECT_EQ(http.RequestId, "0b7e2a0c-1f55-4c2f-9a4e-2f1d2d9d7c11");
}

TEST_F(TransportTest, EmptyRequestIdSendsNoRequestIdHeaderAtAll) {
  RawHttpServer server(200, "");
  working.WorkUrl = server.BaseUrl();
  http.CallLPFR(kOpAttention, "", "");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  for (const auto& line : HeaderLines(requests[0])) {
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_NE(lower.rfind("requestid", 0), 0u) << line;
  }
  EXPECT_EQ(http.RequestId, "");
}

TEST_F(TransportTest, VirtualProcessorSendsPacFirstAndControlCharactersCannotAddHeaders) {
  RawHttpServer server(200, "{}", true);
  UseAsVpfr(server);
  working.WorkPin = "AB12CD";
  http.CallVPFR(kOpEnvironmentParameters, "", "id\r\nX-Injected:1");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;
  const auto lines = HeaderLines(server.Requests().at(0));
  const auto pac = IndexOf(lines, "PAC:AB12CD");
  const auto language = IndexOf(lines, "Accept-Language:sr-Cyrl-RS");
  const auto requestId = IndexOf(lines, "RequestId:idX-Injected:1");
  ASSERT_GE(pac, 0);
  EXPECT_LT(pac, language);
  EXPECT_LT(language, requestId);
  EXPECT_FALSE(HasLine(lines, "X-Injected:1"));
}

TEST_F(TransportTest, AnEmptyPacStillSendsThePacLineAndTheLookupNamesTheRequestId) {
  RawHttpServer server(200, "{}", true);
  UseAsVpfr(server);
  working.WorkPin = "";
  http.CallVPFR(kOpInvoiceLookup, "", "0f3c-1");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;
  const std::string request = server.Requests().at(0);
  EXPECT_TRUE(HasLine(HeaderLines(request), "PAC:"));
  EXPECT_EQ(request.rfind("GET /api/v3/invoices/0f3c-1 HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_TRUE(http.RequestMayHaveArrived);
}

TEST_F(TransportTest, PinIsPostedAsPlainDigits) {
  RawHttpServer server(200, "\"0100\"");
  working.WorkUrl = server.BaseUrl();
  http.CallLPFR(kOpPin, "", "");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;
  EXPECT_EQ(http.ResponseBody, "\"0100\"");
  const auto request = server.Requests().at(0);
  EXPECT_EQ(request.rfind("POST /api/v3/pin HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(RequestBody(request), "1234");
}

TEST_F(TransportTest, InvoiceRequestPostsTheArchivedFileByteForByte) {
  RawHttpServer server(200, "{\"ok\":1}");
  working.WorkUrl = server.BaseUrl();
  // Cyrillic, CR LF, a NUL byte and a large size: nothing may be re-encoded or cut.
  std::string bytes = "{\"items\":[{\"name\":\"Хлеб \\\"бели\\\"\",\"labels\":[\"Ђ\"]}]}\r\n";
  bytes += std::string(1, '\0');
  bytes += std::string(300000, 'x');
  WriteFileBytes(std::filesystem::path(configuration.ArchiveDir) / "u1_req.json", bytes);

  http.CallLPFR(kOpInvoices, "u1_req.json", "u1");
  ASSERT_EQ(http.ResponseCode, 200) << http.ErrorText;
  const auto request = server.Requests().at(0);
  EXPECT_EQ(request.rfind("POST /api/v3/invoices HTTP/1.1\r\n", 0), 0u);
  EXPECT_TRUE(HasLine(HeaderLines(request), "Content-Length: " + std::to_string(bytes.size())));
  EXPECT_EQ(RequestBody(request), bytes);
}

TEST_F(TransportTest, TrailingSlashOfTheAddressIsKept) {
  RawHttpServer server(200, "{}");
  working.WorkUrl = server.BaseUrl() + "/";
  http.CallLPFR(kOpStatus, "", "");
  EXPECT_EQ(server.Requests().at(0).rfind("GET //api/v3/status HTTP/1.1\r\n", 0), 0u);
}

// ---- failures before and without a reply -----------------------------------------------------------------

TEST_F(TransportTest, MissingRequestFileRaisesAfterTheResetAndBeforeSending) {
  RawHttpServer server(500, "earlier");
  working.WorkUrl = server.BaseUrl();
  http.CallLPFR(kOpStatus, "", "old");
  ASSERT_EQ(http.ResponseCode, 500);

  EXPECT_THROW(http.CallVPFR(kOpInvoices, "missing_req.json", "new"), RequestFileError);
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_EQ(http.ErrorText, "");
  EXPECT_EQ(http.RequestId, "new");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(TransportTest, RefusedConnectionGivesMinusOneAndAOneLineErrorText) {
  working.WorkUrl = "http://127.0.0.1:" + std::to_string(ClosedPort());
  http.CallLPFR(kOpAttention, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_EQ(http.ErrorText.find('\r'), std::string::npos);
  EXPECT_EQ(http.ErrorText.find('\n'), std::string::npos);
}

TEST_F(TransportTest, PinOverVirtualProcessorAndUnknownOperationFailLikeAnUnreachableProcessor) {
  RawHttpServer server(200, "{}");
  working.WorkUrl = server.BaseUrl();
  http.CallVPFR(kOpPin, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_FALSE(http.ErrorText.empty());
  http.CallLPFR(7, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(TransportTest, ServerThatNeverAnswersIsAbandonedAfterTheReadTimeout) {
  // Accepts the connection (the kernel's backlog does) but never reads nor answers.
  httplib::Server silent;
  const int port = silent.bind_to_any_port("127.0.0.1");
  working.WorkUrl = "http://127.0.0.1:" + std::to_string(port);
  http.SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1)});
  const auto started = std::chrono::steady_clock::now();
  http.CallLPFR(kOpStatus, "", "");
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_EQ(TransportTimeouts{}.connect, std::chrono::milliseconds(10000));
  EXPECT_EQ(TransportTimeouts{}.read, std::chrono::seconds(60));
}

// ---- answers ------------------------------------------------------------------------------------------------

TEST_F(TransportTest, ErrorStatusesKeepTheirBodyAndEmptyAnswersAreAnswers) {
  LocalServer server;
  server.Server().Get("/api/v3/status", [](const httplib::Request&, httplib::Response& response) {
    response.status = 400;
    response.set_content(R"({"message":"Bad Request","modelState":[]})", "application/json");
  });
  server.Server().Get("/api/v3/attention", [](const httplib::Request&, httplib::Response& response) {
    response.status = 500;
    response.set_content("Грешка сервера", "text/plain; charset=utf-8");
  });
  server.Server().Get("/api/v3/environment-parameters",
                      [](const httplib::Request&, httplib::Response& response) { response.status = 200; });
  server.Server().Post("/api/v3/pin", [](const httplib::Request&, httplib::Response& response) {
    response.status = 423;
    response.set_content("\"2100\"", "application/json");
  });
  server.Start();
  working.WorkUrl = server.Url();

  http.CallLPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, 400);
  EXPECT_EQ(http.ResponseBody, R"({"message":"Bad Request","modelState":[]})");
  EXPECT_EQ(http.ErrorText, "");

  http.CallLPFR(kOpAttention, "", "");
  EXPECT_EQ(http.ResponseCode, 500);
  EXPECT_EQ(http.ResponseBody, "Грешка сервера");

  http.CallLPFR(kOpPin, "", "");
  EXPECT_EQ(http.ResponseCode, 423);
  EXPECT_EQ(http.ResponseBody, "\"2100\"");

  http.CallLPFR(kOpEnvironmentParameters, "", "");
  EXPECT_EQ(http.ResponseCode, 200);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_EQ(http.ErrorText, "");
}

TEST_F(TransportTest, SecondRequestStartsFromAnEmptyResult) {
  LocalServer server;
  server.Server().Get("/api/v3/status", [](const httplib::Request&, httplib::Response& response) {
    response.status = 500;
    response.set_content("first", "text/plain");
  });
  server.Start();
  working.WorkUrl = server.Url();
  http.CallLPFR(kOpStatus, "", "a");
  ASSERT_EQ(http.ResponseBody, "first");

  working.WorkUrl = "http://127.0.0.1:" + std::to_string(ClosedPort());
  http.CallLPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_EQ(http.RequestId, "");
}

TEST_F(TransportTest, AnswerOverTheLimitIsNoReplyWhetherAnnouncedOrStreamed) {
  LocalServer server;
  server.Server().Get("/api/v3/status", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(kMaxResponseBytes + 1, 'a'), "application/json");
  });
  server.Server().Get("/api/v3/attention", [](const httplib::Request&, httplib::Response& response) {
    // No Content-Length: the size shows only while reading.
    response.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink& sink) {
      const std::string chunk(1 << 20, 'b');
      for (int i = 0; i < 17; ++i) {
        if (!sink.write(chunk.data(), chunk.size())) return false;
      }
      sink.done();
      return true;
    });
  });
  server.Server().Get("/api/v3/environment-parameters", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(kMaxResponseBytes, 'c'), "application/json");
  });
  server.Start();
  working.WorkUrl = server.Url();

  http.CallLPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_EQ(http.ErrorText, kResponseTooLargeText);

  http.CallLPFR(kOpAttention, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_EQ(http.ResponseBody, "");
  EXPECT_EQ(http.ErrorText, kResponseTooLargeText);

  http.CallLPFR(kOpEnvironmentParameters, "", "");
  EXPECT_EQ(http.ResponseCode, 200);
  EXPECT_EQ(http.ResponseBody.size(), kMaxResponseBytes);
}

// ---- TLS for the virtual processor --------------------------------------------------------------------------

class VirtualProcessorTlsTest : public TransportTest {
 protected:
  VirtualProcessorTlsTest() {
    const auto server = telvano::testing::MakeSelfSignedCertificate("vpfr.test", "127.0.0.1");
    const auto client = telvano::testing::MakeSelfSignedCertificate("SER1");
    serverCert = temp / "server_cert.pem";
    configuration.SdcCaFile = serverCert;
    serverKey = temp / "server_key.pem";
    clientCa = temp / "client_ca.pem";
    WriteFileBytes(serverCert, server.certificatePem);
    WriteFileBytes(serverKey, server.keyPem);
    WriteFileBytes(clientCa, client.certificatePem);
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / "SER1_cert.pem", client.certificatePem);
    WriteFileBytes(std::filesystem::path(configuration.CertificateDir) / "SER1_key.pem", client.keyPem);
    working.WorkPin = "PAC123";
  }

  static void AnswerStatus(httplib::Server& server, std::string* receivedPac) {
    server.Get("/api/v3/status", [receivedPac](const httplib::Request& request, httplib::Response& response) {
      *receivedPac = request.get_header_value("PAC");
      response.set_content(R"({"uid":"VPFR0001"})", "application/json");
    });
  }

  std::string serverCert, serverKey, clientCa;
};

TEST_F(VirtualProcessorTlsTest, ClientCertificateOfTheWorkingSerialOpensTheConnection) {
  LocalServer server(std::make_unique<httplib::SSLServer>(serverCert.c_str(), serverKey.c_str(), clientCa.c_str()));
  std::string pac;
  AnswerStatus(server.Server(), &pac);
  server.Start();
  working.WorkUrl = server.Url("https");

  http.CallVPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, 200) << http.ErrorText;
  EXPECT_EQ(http.ResponseBody, R"({"uid":"VPFR0001"})");
  EXPECT_EQ(pac, "PAC123");

  // Another working certificate without PEM files: the server refuses the handshake.
  working.WorkSerial = "OTHER";
  http.CallVPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_EQ(http.ErrorText.find("\r\n"), std::string::npos);

  // A local processor speaks plain HTTP only.
  working.WorkSerial = "SER1";
  http.CallLPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
}

TEST_F(VirtualProcessorTlsTest, ServerOfferingOnlyTls13IsRefused) {
  const std::string cert = serverCert;
  const std::string key = serverKey;
  LocalServer server(std::make_unique<httplib::SSLServer>([cert, key](SSL_CTX& context) {
    SSL_CTX_set_min_proto_version(&context, TLS1_3_VERSION);
    return SSL_CTX_use_certificate_chain_file(&context, cert.c_str()) == 1 &&
           SSL_CTX_use_PrivateKey_file(&context, key.c_str(), SSL_FILETYPE_PEM) == 1;
  }));
  std::string pac;
  AnswerStatus(server.Server(), &pac);
  server.Start();
  working.WorkUrl = server.Url("https");

  http.CallVPFR(kOpStatus, "", "");
  EXPECT_EQ(http.ResponseCode, -1);
  EXPECT_FALSE(http.ErrorText.empty());
  EXPECT_EQ(pac, "");
}

}  // namespace
}  // namespace telvano::sdc
