// What the door dialogs share: the text fields they send, the panel they
// reach on line, and the write behind a progress window.
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "editortext.h"
#include "orvoeditors/doordlg.h"
#include "orvoprocedures/doorpanel.h"
#include "wendrel/buslink.h"

// What OK sends of a field. On line, a field whose read got no reply holds
// nothing of the panel's: it is sent (and stored) only once the installer
// has typed into it, so one missed reply does not clear the panel's text.
inline std::optional<std::string> Given(bool read, const QLineEdit* field, const std::string& text)
{
    if (read || field->isModified())
        return text;
    return std::nullopt;
}

// The target's door panel over its open session.
struct OnlinePanel {
    OnlinePanel(const DoorTarget& target, int version, IProcedureHost* host)
        : link(*target.session), panel(link, target.DeckNumber(), target.DoorNumber(), version, host)
    {
    }
    CSessionLink link;
    CDoorPanel panel;
};

// Runs write against the door behind a progress window titled title; true
// when the panel took every setting. Otherwise the installer has been told,
// once the progress window has gone: the port went away (by the progress
// host) or these settings were not taken. The dialog then stays open and
// stores nothing, so the model keeps what it held.
bool WritePanel(QWidget* dialog, const DoorTarget& target, int version, const QString& title,
                const std::function<void(CDoorPanel&)>& write);
