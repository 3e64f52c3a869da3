#include "orvoshell/shellsettings.h"

#include "orvomodel/orvosettings.h"

#include <QSettings>

#include <cstdio>

namespace {

QSettings OpenStore()
{
    return QSettings(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
}

QString KeyPath(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

int GetProfileInt(const QString& section, const QString& key, int defaultValue)
{
    QSettings store = OpenStore();
    const QVariant value = store.value(KeyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // Integers were stored as integers; a hand-edited text reads like the
    // platform's profile reader did: leading decimal number, else the default.
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok)
        return number;
    int parsed = 0;
    const QByteArray text = value.toString().toLatin1();
    return std::sscanf(text.constData(), "%d", &parsed) == 1 ? parsed : defaultValue;
}

QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings store = OpenStore();
    const QVariant value = store.value(KeyPath(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void WriteProfileInt(const QString& section, const QString& key, int value)
{
    QSettings store = OpenStore();
    store.setValue(KeyPath(section, key), value);
}

void WriteProfileString(const QString& section, const QString& key, const QString& value)
{
    QSettings store = OpenStore();
    store.setValue(KeyPath(section, key), value);
}

void ReadCommsSettings(CommsSettings* settings)
{
    const QString comms = QStringLiteral("Comms");
    const QString orvo = QStringLiteral("Orvo");
    settings->comPort = GetProfileInt(comms, QStringLiteral("Port"), 1);
    const std::string timeout =
        GetProfileString(comms, QStringLiteral("Timeout"), QStringLiteral("1.0")).toStdString();
    bool ignored = false;
    settings->timeoutMultiplier = ParseTimeoutMultiplier(timeout, settings->timeoutMultiplier, &ignored);
    settings->timeoutIgnored =
        ignored ? QString::fromStdString(TimeoutIgnoredText(timeout, settings->timeoutMultiplier))
                : QString();
    settings->autoCommPort = GetProfileInt(comms, QStringLiteral("Auto Comm Port"), 0);
    settings->adapterLabel = GetProfileString(comms, QStringLiteral("Quendral Label"), DefaultAdapterLabel());
    settings->device = GetProfileString(comms, QStringLiteral("Device"), QString());
    settings->usePasswords = GetProfileInt(orvo, QStringLiteral("Use Passwords"), 0);
    settings->administrator = GetProfileInt(orvo, QStringLiteral("Administrator"), 0);
    settings->showDuplicatesReport = GetProfileInt(orvo, QStringLiteral("Show Duplicates Report"), 0);
}
