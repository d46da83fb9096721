#include "receipt_picture.h"

#include <qrencode.h>

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace telvano::rawprint {

namespace {

constexpr int kCellWidth = 12;   // dots per character of the normal width
constexpr int kCellHeight = 24;  // dots per character of the normal height
constexpr int kLineGap = 6;      // between two text lines
constexpr int kFontPixels = 20;  // DejaVu Sans Mono is 12 dots wide at this size
constexpr int kMargin = 18;      // paper left and right of the printed lines, and above the first one
constexpr int kQrGap = 6;        // below a QR code
constexpr int kCutHeight = 24;   // the band a cut line takes
constexpr int kMaxHeight = 32000;

// Qt's notes on its own set-up ("XDG_RUNTIME_DIR not set") are not the sender's to report: standard error
// carries only the sender's one line. Critical messages still get through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "Ostrapo: Qt: %s\n", qPrintable(message));
}

// Fonts need a QGuiApplication. Ostrapo has none: one on the offscreen platform lives while a picture is
// drawn.
class GuiSession {
 public:
  GuiSession() {
    QCoreApplication* existing = QCoreApplication::instance();
    if (existing == nullptr) {
      m_previousHandler = qInstallMessageHandler(QuietQtMessages);
      m_application = std::make_unique<QGuiApplication>(m_argc, m_argv);
    } else if (qobject_cast<QGuiApplication*>(existing) == nullptr) {
      throw std::runtime_error(
          "a receipt picture needs a Qt GUI application, and this process has another kind");
    }
  }
  ~GuiSession() {
    if (!m_application) return;
    m_application.reset();
    qInstallMessageHandler(m_previousHandler);
  }
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

 private:
  QtMessageHandler m_previousHandler = nullptr;
  char m_name[8] = "Ostrapo";
  char m_platformOption[10] = "-platform";
  char m_platform[10] = "offscreen";
  char* m_argv[4] = {m_name, m_platformOption, m_platform, nullptr};
  int m_argc = 3;
  std::unique_ptr<QGuiApplication> m_application;
};

struct QrSymbol {
  int width = 0;  // modules per side
  std::vector<bool> dark;
};

QrSymbol EncodeQr(const ReceiptItem& item) {
  const QRecLevel level = item.qrLevel == 'M'   ? QR_ECLEVEL_M
                          : item.qrLevel == 'Q' ? QR_ECLEVEL_Q
                          : item.qrLevel == 'H' ? QR_ECLEVEL_H
                                                : QR_ECLEVEL_L;
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeData(static_cast<int>(item.qrData.size()),
                        reinterpret_cast<const unsigned char*>(item.qrData.data()), 0, level),
      &QRcode_free);
  QrSymbol symbol;
  if (!code) return symbol;  // more data than a QR code holds: the printer prints none either
  symbol.width = code->width;
  symbol.dark.resize(static_cast<std::size_t>(code->width) * code->width);
  for (std::size_t i = 0; i < symbol.dark.size(); ++i) symbol.dark[i] = (code->data[i] & 1) != 0;
  return symbol;
}

int LineHeight(const ReceiptItem& item) { return item.Height() * kCellHeight + kLineGap; }

int ItemHeight(const ReceiptItem& item, const QrSymbol& symbol) {
  switch (item.kind) {
    case ReceiptItem::Kind::Line:
      return LineHeight(item);
    case ReceiptItem::Kind::Qr:
      return symbol.width == 0 ? 0 : symbol.width * item.qrModule + kQrGap;
    case ReceiptItem::Kind::Feed:
      return item.feedDots;
    case ReceiptItem::Kind::Cut:
      return kCutHeight;
  }
  return 0;
}

// Where a thing `width` dots wide starts on a paper of `paperWidth` printable dots.
int AlignedX(Alignment alignment, int width, int paperWidth) {
  const int room = std::max(0, paperWidth - width);
  const int offset = alignment == Alignment::Centre ? room / 2 : alignment == Alignment::Right ? room : 0;
  return kMargin + offset;
}

QList<uint> Characters(const TextRun& run) { return QString::fromStdString(run.text).toUcs4(); }

void DrawLine(QPainter& painter, const ReceiptItem& item, int top, int paperWidth) {
  int lineWidth = 0;
  for (const TextRun& run : item.runs)
    lineWidth += static_cast<int>(Characters(run).size()) * run.width * kCellWidth;
  int x = AlignedX(item.alignment, lineWidth, paperWidth);
  const int height = item.Height();
  for (const TextRun& run : item.runs) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(kFontPixels);
    font.setBold(run.bold);
    painter.setFont(font);
    const QList<uint> characters = Characters(run);
    painter.save();
    // Characters of one line stand on the same base: a smaller run sits at the bottom of a taller line.
    painter.translate(x, top + (height - run.height) * kCellHeight);
    painter.scale(run.width, run.height);
    for (qsizetype i = 0; i < characters.size(); ++i) {
      const char32_t character = characters[i];
      const QRectF cell(static_cast<qreal>(i * kCellWidth), 0, kCellWidth, kCellHeight);
      painter.drawText(cell, Qt::AlignCenter, QString::fromUcs4(&character, 1));
    }
    if (run.underline)
      painter.fillRect(QRectF(0, kCellHeight - 2, characters.size() * kCellWidth, 1), Qt::black);
    painter.restore();
    x += static_cast<int>(characters.size()) * run.width * kCellWidth;
  }
}

void DrawQr(QPainter& painter, const ReceiptItem& item, const QrSymbol& symbol, int top, int paperWidth) {
  const int module = item.qrModule;
  const int left = AlignedX(item.alignment, symbol.width * module, paperWidth);
  for (int row = 0; row < symbol.width; ++row)
    for (int column = 0; column < symbol.width; ++column)
      if (symbol.dark[static_cast<std::size_t>(row) * symbol.width + column])
        painter.fillRect(left + column * module, top + row * module, module, module, Qt::black);
}

void DrawCut(QPainter& painter, const ReceiptItem& item, int y, int pictureWidth) {
  QPen pen(Qt::black, 2, item.partialCut ? Qt::DotLine : Qt::DashLine);
  painter.setPen(pen);
  painter.drawLine(0, y, pictureWidth, y);
  painter.setPen(Qt::black);
}

bool IsBlank(const ReceiptItem& item) {
  return item.kind == ReceiptItem::Kind::Feed ||
         (item.kind == ReceiptItem::Kind::Line && item.Text().empty());
}

}  // namespace

std::string ReceiptPng(const Receipt& receipt, int columns) {
  GuiSession session;
  std::vector<ReceiptItem> items = receipt.items;
  while (!items.empty() && IsBlank(items.back())) items.pop_back();
  const bool endsInCut = !items.empty() && items.back().kind == ReceiptItem::Kind::Cut;

  std::vector<QrSymbol> symbols(items.size());
  int height = kMargin;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == ReceiptItem::Kind::Qr) symbols[i] = EncodeQr(items[i]);
    height += ItemHeight(items[i], symbols[i]);
    if (height > kMaxHeight) throw std::runtime_error("the receipt is too long for a picture");
  }
  // A receipt that ends in a cut ends at the cut line; any other ends with a margin.
  height += endsInCut ? -kCutHeight / 2 + 1 : kMargin;

  const int paperWidth = std::max(1, columns) * kCellWidth;
  const int pictureWidth = paperWidth + 2 * kMargin;
  QImage image(pictureWidth, height, QImage::Format_RGB32);
  if (image.isNull()) throw std::runtime_error("no memory for the receipt picture");
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setPen(Qt::black);
    int top = kMargin;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const ReceiptItem& item = items[i];
      if (item.kind == ReceiptItem::Kind::Line)
        DrawLine(painter, item, top, paperWidth);
      else if (item.kind == ReceiptItem::Kind::Qr)
        DrawQr(painter, item, symbols[i], top, paperWidth);
      else if (item.kind == ReceiptItem::Kind::Cut)
        DrawCut(painter, item, top + kCutHeight / 2, pictureWidth);
      top += ItemHeight(item, symbols[i]);
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.convertToFormat(QImage::Format_Grayscale8).save(&buffer, "PNG"))
    throw std::runtime_error("the receipt picture could not be written as PNG");
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace telvano::rawprint
