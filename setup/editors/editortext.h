// Model text in and out of the editors' controls.
#pragma once

#include "orvomodel/modeltext.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <string>

// Shows text whole: a field's limit stops typing beyond it, but a stored
// text that is already longer is not cut (QLineEdit::setText would), so OK
// does not shorten it quietly. Pass the limit the field types to.
inline void ShowWhole(QLineEdit* field, const QString& text, int limit)
{
    field->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    field->setText(text);
}

// The same for a field whose typing limit is already set.
inline void ShowWhole(QLineEdit* field, const QString& text)
{
    ShowWhole(field, text, field->maxLength());
}

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

// The mark put next to a list of which only some chunks arrived: the field
// shows those, and the list is written only once the installer changes it.
inline QLabel* IncompleteMark(QWidget* parent, const char* name)
{
    auto* mark = new QLabel(QStringLiteral("Incomplete"), parent);
    mark->setObjectName(QLatin1String(name));
    mark->setToolTip(QStringLiteral("Part of this list did not arrive: what did arrive is shown. "
                                    "The list is written only if you change it."));
    return mark;
}
