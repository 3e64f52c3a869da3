// Putting model text into the door dialogs' length-limited fields.
#pragma once

#include <QLineEdit>

#include <algorithm>

// Shows text whole: a field's limit stops typing beyond it, but a stored
// text that is already longer is not cut, so OK does not shorten it quietly.
inline void ShowWhole(QLineEdit* field, const QString& text, int limit)
{
    field->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    field->setText(text);
}
