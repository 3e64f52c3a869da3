// The per-user settings store every program of the system shares (the
// application, orvoctl, the shared windows): one organization and
// application name, written here only.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

#include "wendrel/export.h"

class WENDREL_API CSettingsStore {
public:
    static QString Organization(); // the vendor's name
    static QString Application();  // "Setup"
    // The store in the native format and the user scope, where
    // QSettings::setPath (a demo's scratch copy, tests) points it.
    static std::unique_ptr<QSettings> Open();
};
