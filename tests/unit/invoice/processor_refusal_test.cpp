// Which answers other than 200 prove that the processor did not sign: only its own refusal. Anything a
// gateway may have said for it leaves the outcome open, to be looked up.
#include "invoice/invoice_answer.h"

#include <gtest/gtest.h>

namespace telvano::invoice {
namespace {

TEST(ProcessorRefusal, OnlyTheProcessorsOwnJsonErrorIsARefusal) {
  const struct {
    int status;
    const char* body;
    bool refusal;
  } cases[] = {
      {400, R"({"message":"Bad Request","modelState":[{"property":"payment","errors":["2806"]}]})", true},
      {401, R"({"message":"Unauthorized","modelState":[{"property":"PAC","errors":["2805"]}]})", true},
      {423, R"("2100")", true},
      {406, R"({"message":"Not Acceptable"})", true},
      {400, "<html>Bad Request</html>", false},  // a proxy's page
      {404, "", false},
      {408, R"({"message":"Request Timeout"})", false},  // the request may still reach the processor
      {500, R"({"message":"Internal Server Error"})", false},
      {502, "<html>Bad Gateway</html>", false},
      {504, "", false},
      {400, "[1,2]", false},
      {302, R"({"message":"moved"})", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsProcessorRefusal(c.status, c.body), c.refusal) << c.status << " " << c.body;
  }
}

}  // namespace
}  // namespace telvano::invoice
