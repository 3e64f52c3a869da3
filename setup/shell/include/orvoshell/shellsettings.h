// The per-user settings store of the application: sections "Comms", "Orvo",
// "System" (and "Settings" for the progress window), one group per section.
#pragma once

#include <QString>

// Reads and writes one key of a section; missing or unreadable values give the default.
int GetProfileInt(const QString& section, const QString& key, int defaultValue);
QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue);
void WriteProfileInt(const QString& section, const QString& key, int value);
void WriteProfileString(const QString& section, const QString& key, const QString& value);

// Communication and access settings read when the main window is created.
struct CommsSettings {
    int comPort = 1;
    double timeoutMultiplier = 1.5;
    int autoCommPort = 0;
    QString adapterLabel;
    QString device; // a device path; when not empty it wins over comPort
    int usePasswords = 0;
    int administrator = 0;
    int showDuplicatesReport = 0;
    QString timeoutIgnored; // what to tell the user when "Timeout" was not usable, else empty
};

// Reads the keys in their fixed order; multiplier stays at its value when
// "Timeout" does not parse.
void ReadCommsSettings(CommsSettings* settings);

// Default adapter label of the settings.
inline QString DefaultAdapterLabel()
{
    return QStringLiteral("QRL51730");
}
