// What the door dialogs send of their text fields.
#pragma once

#include <QLineEdit>

#include <optional>
#include <string>

#include "editortext.h"

// What OK sends of a field. On line, a field whose read got no reply holds
// nothing of the panel's: it is sent (and stored) only once the installer
// has typed into it, so one missed reply does not clear the panel's text.
inline std::optional<std::string> Given(bool read, const QLineEdit* field, const std::string& text)
{
    if (read || field->isModified())
        return text;
    return std::nullopt;
}
