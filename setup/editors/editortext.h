// Model text in and out of the editors' controls.
#pragma once

#include "orvomodel/modeltext.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>

#include <algorithm>

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

// Makes the edit wide enough to show sample whole, with the margins and
// frame its own size hint allows around its 17 standard characters.
inline void WidenToShow(QLineEdit* edit, const QString& sample)
{
    const QFontMetrics metrics = edit->fontMetrics();
    const int around = edit->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    edit->setMinimumWidth(std::max(edit->minimumWidth(), metrics.horizontalAdvance(sample) + around));
}

// Fields that take a fixed format show it while empty and as a tool tip.
inline void ShowFormat(QLineEdit* edit, const QString& placeholder, const QString& toolTip)
{
    edit->setPlaceholderText(placeholder);
    edit->setToolTip(toolTip);
}

// The format of key tag and programming key numbers.
inline const char* const kKeyNumberPlaceholder = "10 hex digits";
inline const char* const kKeyNumberToolTip = "Ten hexadecimal digits, 0-9 and A-F, for example 12AB000FFF";

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
