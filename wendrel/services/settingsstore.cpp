#include "wendrel/settingsstore.h"

QString CSettingsStore::Organization()
{
    return QStringLiteral("Quendral Orvo");
}

QString CSettingsStore::Application()
{
    return QStringLiteral("Setup");
}

std::unique_ptr<QSettings> CSettingsStore::Open()
{
    return std::make_unique<QSettings>(Organization(), Application());
}
