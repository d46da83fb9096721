#include "qr_gif.h"

#include <gif_lib.h>
#include <qrencode.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace telvano::pfrsim {

namespace {

constexpr int kQuietZone = 4;

int AppendToString(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  return length;
}

struct QrDeleter {
  void operator()(QRcode* code) const { QRcode_free(code); }
};

struct ColorMapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

}  // namespace

std::string QrCodeGif(const std::string& text, int moduleSize) {
  std::unique_ptr<QRcode, QrDeleter> code(QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_L));
  if (!code) throw std::runtime_error("QR code: text cannot be encoded");
  const int modules = code->width + 2 * kQuietZone;
  const int size = modules * moduleSize;

  GifColorType colors[2] = {{255, 255, 255}, {0, 0, 0}};
  std::unique_ptr<ColorMapObject, ColorMapDeleter> palette(GifMakeMapObject(2, colors));
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, AppendToString, &error);
  if (gif == nullptr) throw std::runtime_error("GIF: cannot start image");
  auto fail = [&gif](const char* what) {
    int ignored = 0;
    EGifCloseFile(gif, &ignored);
    throw std::runtime_error(what);
  };
  if (EGifPutScreenDesc(gif, size, size, 1, 0, palette.get()) == GIF_ERROR ||
      EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr) == GIF_ERROR) {
    fail("GIF: cannot write header");
  }
  std::vector<GifPixelType> line(static_cast<std::size_t>(size));
  for (int y = 0; y < size; ++y) {
    const int row = y / moduleSize - kQuietZone;
    for (int x = 0; x < size; ++x) {
      const int column = x / moduleSize - kQuietZone;
      const bool inside = row >= 0 && row < code->width && column >= 0 && column < code->width;
      line[static_cast<std::size_t>(x)] = inside && (code->data[row * code->width + column] & 1) ? 1 : 0;
    }
    if (EGifPutLine(gif, line.data(), size) == GIF_ERROR) fail("GIF: cannot write image");
  }
  if (EGifCloseFile(gif, &error) == GIF_ERROR) throw std::runtime_error("GIF: cannot finish image");
  return bytes;
}

}  // namespace telvano::pfrsim
