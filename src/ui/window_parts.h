#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>

namespace telvano::ui {

// The colour of an active tile: the chosen sub-menu, the action of a window.
inline constexpr const char* kSkyBlue = "#87CEEB";

// The white panel that shows a file name (PanelFile of the invoice, command, JSON and script windows).
QLabel* NewFilePanel(QWidget* parent);

// A large sky-blue action tile with its object name; the caller decides whether Enter presses it.
QPushButton* NewActionTile(const QString& caption, const char* objectName, int minimumHeight, QWidget* parent);

}  // namespace telvano::ui
