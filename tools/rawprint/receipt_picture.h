#pragma once

#include <string>

#include "escpos_reader.h"

namespace telvano::rawprint {

// Draws a receipt as a picture of its paper and gives it as the bytes of a PNG file: a monospace font in
// cells of 12 × 24 dots per character of the normal size (203 dpi, as thermal receipt printers print), wider
// and taller where the receipt asks for it, each QR code made anew from its stored data, a dashed line at a
// full cut and a dotted one at a partial cut. Paper fed after the last cut is left off, so a receipt that
// ends in a cut ends at that line. Needs no display: without a Qt application in the process, one on Qt's
// offscreen platform lives while the picture is drawn. Raises std::runtime_error when no picture can be
// made (a receipt longer than about 32 000 dots, a process whose Qt application has no GUI).
std::string ReceiptPng(const Receipt& receipt, int columns = kReceiptColumns);

}  // namespace telvano::rawprint
