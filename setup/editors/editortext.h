// Model text in and out of the editors' controls.
#pragma once

#include "orvomodel/modeltext.h"

#include <QApplication>
#include <QLineEdit>

#include <string>

// The edit's text as model bytes; beeps when a character had to become '?'.
inline std::string ModelTextOf(const QLineEdit* edit)
{
    bool replaced = false;
    std::string bytes = TextToModel(edit->text(), &replaced);
    if (replaced)
        QApplication::beep();
    return bytes;
}

// Keeps an edit's text in capitals as it is typed or pasted.
inline void KeepUpperCase(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}
