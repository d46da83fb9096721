#pragma once

#include <string>

namespace telvano::pfrsim {

// A GIF image (bytes) of a QR code of `text`: black modules on white with a four-module quiet zone, each module
// `moduleSize` pixels wide. Throws std::runtime_error when the text cannot be encoded.
std::string QrCodeGif(const std::string& text, int moduleSize = 2);

}  // namespace telvano::pfrsim
