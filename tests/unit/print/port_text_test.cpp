#include <gtest/gtest.h>

#include "port_text.h"

namespace telvano::rawprint {
namespace {

std::string RefusalOf(const std::string& text) {
  try {
    ParsePortText(text);
  } catch (const PortRefused& refused) {
    return refused.what();
  }
  return "";
}

TEST(PortText, Devices) {
  PortSpec portSpec = ParsePortText("/dev/usb/lp0");
  EXPECT_EQ(portSpec.kind, PortSpec::Kind::Device);
  EXPECT_EQ(portSpec.devicePath, "/dev/usb/lp0");
  EXPECT_FALSE(portSpec.serialOptions);
  portSpec = ParsePortText("/dev/ttyUSB0:19200:rtscts");
  EXPECT_EQ(portSpec.devicePath, "/dev/ttyUSB0");
  EXPECT_EQ(portSpec.speed, 19200);
  EXPECT_EQ(portSpec.flow, FlowControl::RtsCts);
  EXPECT_TRUE(portSpec.serialOptions);
  EXPECT_EQ(ParsePortText("/dev/ttyS0:9600:xonxoff").flow, FlowControl::XonXoff);
  EXPECT_EQ(ParsePortText("/dev/ttyS0:115200").flow, FlowControl::None);
}

TEST(PortText, Network) {
  PortSpec portSpec = ParsePortText("tcp://printer.local:9100");
  EXPECT_EQ(portSpec.kind, PortSpec::Kind::Tcp);
  EXPECT_EQ(portSpec.host, "printer.local");
  EXPECT_EQ(portSpec.service, "9100");
  portSpec = ParsePortText("192.168.1.20:9100");
  EXPECT_EQ(portSpec.host, "192.168.1.20");
  portSpec = ParsePortText("tcp://[::1]:9100");
  EXPECT_EQ(portSpec.host, "::1");
  EXPECT_EQ(portSpec.service, "9100");
}

TEST(PortText, Files) {
  const PortSpec portSpec = ParsePortText("file:receipt.bin");
  EXPECT_EQ(portSpec.kind, PortSpec::Kind::File);
  EXPECT_EQ(portSpec.fileName, "receipt.bin");
  const PortSpec picture = ParsePortText("png:receipt.png");
  EXPECT_EQ(picture.kind, PortSpec::Kind::Png);
  EXPECT_EQ(picture.fileName, "receipt.png");
}

TEST(PortText, RefusedWithAReason) {
  EXPECT_NE(RefusalOf("file:../x").find("leaves the print-file folder"), std::string::npos);
  EXPECT_NE(RefusalOf("file:/etc/passwd").find("leaves"), std::string::npos);
  EXPECT_NE(RefusalOf("file:a\\b").find("leaves"), std::string::npos);
  EXPECT_NE(RefusalOf("file:..").find("leaves"), std::string::npos);
  EXPECT_NE(RefusalOf("file:").find("without a file name"), std::string::npos);
  EXPECT_NE(RefusalOf("png:../x.png").find("leaves the print-file folder"), std::string::npos);
  EXPECT_NE(RefusalOf("png:").find("without a file name"), std::string::npos);
  EXPECT_NE(RefusalOf("/etc/passwd").find("below /dev"), std::string::npos);
  EXPECT_NE(RefusalOf("").find("no printer port"), std::string::npos);
  EXPECT_NE(RefusalOf("/dev/ttyS0:12345").find("speed"), std::string::npos);
  EXPECT_NE(RefusalOf("/dev/ttyS0:9600:dtr").find("flow control"), std::string::npos);
  EXPECT_NE(RefusalOf("/dev/ttyS0:9600:none:x").find("too many"), std::string::npos);
  EXPECT_NE(RefusalOf("file:a\nb").find("control character"), std::string::npos);
  for (const char* text : {"COM1", "LPT1", "host:0", "host:70000", "host:", ":9100", "tcp://a:b:9100", "a/b:9100",
                           "receipt.bin", "--file-dir=/"})
    EXPECT_NE(RefusalOf(text), "") << text;
}

}  // namespace
}  // namespace telvano::rawprint
