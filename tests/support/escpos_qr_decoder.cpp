#include "support/escpos_qr_decoder.h"

namespace telvano::testing {

std::vector<QrFunction> DecodeQrFunctions(const std::string& bytes, std::size_t& at) {
  std::vector<QrFunction> functions;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  while (at + 5 <= bytes.size() && byte(at) == 0x1D && byte(at + 1) == '(' && byte(at + 2) == 'k') {
    const std::size_t length = byte(at + 3) + 256u * byte(at + 4);
    if (length < 2 || at + 5 + length > bytes.size()) return {};
    QrFunction function;
    function.cn = byte(at + 5);
    function.fn = byte(at + 6);
    function.parameters = bytes.substr(at + 7, length - 2);
    functions.push_back(function);
    at += 5 + length;
  }
  return functions;
}

}  // namespace telvano::testing
