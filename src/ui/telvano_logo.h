#pragma once

#include <QPixmap>

namespace telvano::ui {

// TELVANO's mark, drawn rather than loaded, so the program needs no image files: a blue square with a white
// "T", `size` pixels wide and high.
QPixmap TelvanoLogo(int size);

}  // namespace telvano::ui
