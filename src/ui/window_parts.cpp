#include "ui/window_parts.h"

namespace telvano::ui {

QLabel* NewFilePanel(QWidget* parent) {
  auto* panel = new QLabel(parent);
  panel->setObjectName("PanelFile");
  panel->setTextFormat(Qt::PlainText);
  panel->setAlignment(Qt::AlignCenter);
  panel->setMinimumHeight(72);
  panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  panel->setStyleSheet("background-color: white; color: black; border: 1px solid #7a7a7a; padding: 8px;");
  QFont font = panel->font();
  font.setPointSize(14);
  font.setBold(true);
  panel->setFont(font);
  return panel;
}

QPushButton* NewActionTile(const QString& caption, const char* objectName, int minimumHeight, QWidget* parent) {
  auto* tile = new QPushButton(caption, parent);
  tile->setObjectName(objectName);
  tile->setMinimumHeight(minimumHeight);
  tile->setStyleSheet(QString("background-color: %1; color: black;").arg(kSkyBlue));
  QFont font = tile->font();
  font.setPointSize(14);
  tile->setFont(font);
  return tile;
}

}  // namespace telvano::ui
