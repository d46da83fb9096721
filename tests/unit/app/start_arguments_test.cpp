#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/start_arguments.h"

namespace telvano::app {
namespace {

using Arguments = std::vector<std::string>;

class StartArgumentsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : {kSoftKeyVariable, kPinVariable, kSerialVariable}) ::unsetenv(name);
  }
};

TEST_F(StartArgumentsTest, TheServiceGivesTheParametersThroughTheEnvironment) {
  ::setenv("TELVANO_SOFTKEY", "kasa-1", 1);
  ::setenv("TELVANO_PIN", "1234", 1);
  ::setenv("TELVANO_SERIAL", "DEMO0001", 1);
  EXPECT_EQ(StartArguments({}), (Arguments{"kasa-1", "1234", "DEMO0001"}));
}

TEST_F(StartArgumentsTest, AMissingPinOrSerialIsEmpty) {
  ::setenv("TELVANO_SOFTKEY", "kasa-1", 1);
  ::setenv("TELVANO_SERIAL", "DEMO0001", 1);
  EXPECT_EQ(StartArguments({}), (Arguments{"kasa-1", "", "DEMO0001"}));
}

TEST_F(StartArgumentsTest, TheCommandLineWins) {
  ::setenv("TELVANO_SOFTKEY", "kasa-1", 1);
  ::setenv("TELVANO_PIN", "1234", 1);
  EXPECT_EQ(StartArguments({"pos-key", "9999"}), (Arguments{"pos-key", "9999"}));
}

TEST_F(StartArgumentsTest, WithoutASoftwareSecretTheStartIsInteractive) {
  ::setenv("TELVANO_PIN", "1234", 1);
  ::setenv("TELVANO_SERIAL", "DEMO0001", 1);
  EXPECT_TRUE(StartArguments({}).empty());
  ::setenv("TELVANO_SOFTKEY", "", 1);
  ::setenv("TELVANO_PIN", "1234", 1);
  EXPECT_TRUE(StartArguments({}).empty());
}

// Programs started later inherit the environment: the secrets must not travel with it, whichever way the
// parameters came, and the text the variable held is wiped, not just unlinked.
TEST_F(StartArgumentsTest, TheVariablesAreGoneAndWipedOnceRead) {
  ::setenv("TELVANO_SOFTKEY", "kasa-1", 1);
  ::setenv("TELVANO_PIN", "1234", 1);
  const char* held = std::getenv("TELVANO_SOFTKEY") - std::strlen("TELVANO_SOFTKEY=");
  StartArguments({"pos-key"});
  EXPECT_EQ(std::getenv("TELVANO_SOFTKEY"), nullptr);
  EXPECT_EQ(std::getenv("TELVANO_PIN"), nullptr);
  EXPECT_EQ(std::string(held, 22), std::string(22, '\0'));  // "TELVANO_SOFTKEY=kasa-1"
}

}  // namespace
}  // namespace telvano::app
