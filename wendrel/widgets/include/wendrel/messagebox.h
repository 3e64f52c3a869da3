// Every message box the library shows goes through WendrelMessageBox, so a
// test or a front end without a display can answer it instead of a person.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

#include "wendrel/export.h"

// The title of the library's message boxes: the application's name.
#define WENDREL_MESSAGE_TITLE "Setup"

using WendrelMessageBoxHandler =
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)>;

// Shows text in a modal box and returns the button pressed. Without a handler
// this is a QMessageBox titled title; without a QApplication the text goes to
// stderr and the answer is Cancel, No, Abort or Ok, the first offered.
WENDREL_API QMessageBox::StandardButton
WendrelMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                  QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                  const QString& title = WENDREL_MESSAGE_TITLE);

// Installs handler (an empty function restores the real boxes) and returns the
// one it replaces.
WENDREL_API WendrelMessageBoxHandler SetWendrelMessageBoxHandler(WendrelMessageBoxHandler handler);
