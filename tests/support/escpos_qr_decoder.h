#pragma once

#include <string>
#include <vector>

namespace telvano::testing {

// One ESC/POS two-dimensional code function "GS ( k pL pH cn fn ..." found in a byte stream.
struct QrFunction {
  int cn = 0;
  int fn = 0;
  std::string parameters;  // the bytes after fn, as many as pL/pH announce
};

// Reads the QR functions that start at `at` in `bytes`, one after the other, trusting nothing but the
// length bytes; stops at the first byte that does not start another function and leaves `at` there.
// An announced length that runs past the end of the stream gives an empty list.
std::vector<QrFunction> DecodeQrFunctions(const std::string& bytes, std::size_t& at);

}  // namespace telvano::testing
