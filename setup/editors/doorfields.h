// Putting model text into the door dialogs' length-limited fields.
#pragma once

#include <QLineEdit>

#include <algorithm>
#include <optional>
#include <string>

// Shows text whole: a field's limit stops typing beyond it, but a stored
// text that is already longer is not cut, so OK does not shorten it quietly.
inline void ShowWhole(QLineEdit* field, const QString& text, int limit)
{
    field->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    field->setText(text);
}

// What OK sends of a field. On line, a field whose read got no reply holds
// nothing of the panel's: it is sent (and stored) only once the installer
// has typed into it, so one missed reply does not clear the panel's text.
inline std::optional<std::string> Given(bool read, const QLineEdit* field, const std::string& text)
{
    if (read || field->isModified())
        return text;
    return std::nullopt;
}
