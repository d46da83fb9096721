#include <gtest/gtest.h>

#include "api/api_settings.h"

namespace telvano::api {
namespace {

struct ListenCase {
  const char* listen;
  const char* cert;  // ApiCertFile and ApiKeyFile both set when not empty
  const char* host;  // expected; nullptr: refused
  int port;
};

class ApiListenTest : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ApiListenTest, AddressAndWhatANonLoopbackOneNeeds) {
  const ListenCase& c = GetParam();
  core::Configuration configuration;
  configuration.ApiListen = c.listen;
  configuration.ApiTokenFile = "/tmp/token";
  configuration.ApiCertFile = c.cert;
  configuration.ApiKeyFile = *c.cert ? "key.pem" : "";
  if (c.host == nullptr) {
    EXPECT_THROW(ApiSettingsFrom(configuration), ApiSettingsError) << c.listen;
    return;
  }
  const auto settings = ApiSettingsFrom(configuration);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->host, c.host);
  EXPECT_EQ(settings->port, c.port);
  EXPECT_EQ(settings->Tls(), *c.cert != '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ApiListenTest,
    ::testing::Values(ListenCase{"127.0.0.1:8585", "", "127.0.0.1", 8585}, ListenCase{"localhost:65535", "", "localhost", 65535},
                      ListenCase{"[::1]:8585", "", "::1", 8585},
                      ListenCase{"0.0.0.0:8585", "", nullptr, 0},          // every address, plain HTTP: refused
                      ListenCase{"192.168.1.5:8585", "", nullptr, 0},      // the shop's network, plain HTTP
                      ListenCase{"0.0.0.0:8585", "cert.pem", "0.0.0.0", 8585},  // HTTPS: allowed
                      ListenCase{"128.0.0.1:80", "", nullptr, 0},  // not in 127/8
                      ListenCase{"127.0.0.1", "", nullptr, 0}, ListenCase{"127.0.0.1:0", "", nullptr, 0},
                      ListenCase{"127.0.0.1:65536", "", nullptr, 0}, ListenCase{"127.0.0.1:8a", "", nullptr, 0},
                      ListenCase{":8585", "", nullptr, 0}, ListenCase{"::1:8585", "", nullptr, 0}));

TEST(ApiSettings, OffWhenEmptyAndRefusedWithoutTokenOrWithHalfTheTlsPair) {
  core::Configuration configuration;
  EXPECT_FALSE(ApiSettingsFrom(configuration));
  configuration.ApiListen = "127.0.0.1:8585";
  EXPECT_THROW(ApiSettingsFrom(configuration), ApiSettingsError);  // no ApiTokenFile
  configuration.ApiTokenFile = "/t";
  configuration.ApiCertFile = "cert.pem";
  EXPECT_THROW(ApiSettingsFrom(configuration), ApiSettingsError);  // a certificate without its key
}

TEST(ApiSettings, OriginsAreListedExactlyAndMustBeOrigins) {
  core::Configuration configuration;
  configuration.ApiListen = "127.0.0.1:8585";
  configuration.ApiTokenFile = "/t";
  configuration.ApiOrigins = " http://127.0.0.1:8080, https://pos.example  ";
  EXPECT_EQ(ApiSettingsFrom(configuration)->origins,
            (std::vector<std::string>{"http://127.0.0.1:8080", "https://pos.example"}));
  for (const char* wrong : {"*", "pos.example", "http://pos.example/", "ftp://pos.example", "http://"}) {
    configuration.ApiOrigins = wrong;
    EXPECT_THROW(ApiSettingsFrom(configuration), ApiSettingsError) << wrong;
  }
}

}  // namespace
}  // namespace telvano::api
