#include "orvomodel/setupsettings.h"

#include <charconv>
#include <string>

namespace {

// What a front end assumes while the stored Timeout text cannot be used.
constexpr double kUnusableTimeoutMultiplier = 1.5;

// Model texts are Windows-1252 bytes; the others (paths, labels, the
// multiplier) are stored and kept as UTF-8.
enum class TextKind { Model, Utf8 };

struct IntKey {
    const char* section;
    const char* key;
    int SetupSettings::*field;
    unsigned part; // 0: never written
};

struct TextKey {
    const char* section;
    const char* key;
    std::string SetupSettings::*field;
    unsigned part;
    TextKind kind;
};

const IntKey kIntKeys[] = {
    {"Comms", "Port", &SetupSettings::port, kCommsPart},
    {"Comms", "Auto Comm Port", &SetupSettings::autoCommPort, kCommsPart},
    {"Comms", "Quiet Retries", &SetupSettings::quietRetries, 0},
    {"Orvo", "Use Passwords", &SetupSettings::usePasswords, kAccessPart},
    {"Orvo", "Administrator", &SetupSettings::administrator, kAccessPart},
    {"Orvo", "Show Duplicates Report", &SetupSettings::showDuplicatesReport, kAccessPart},
    {"Orvo", "Show Results", &SetupSettings::showResults, kModelPart},
    {"Orvo", "Max Empty Slots", &SetupSettings::maxEmptySlots, kModelPart},
    {"Orvo", "Restore Points", &SetupSettings::restorePointLimit, kRestorePart},
    {"System", "First", &SetupSettings::first, kSelectionPart},
    {"System", "Last", &SetupSettings::last, kSelectionPart},
    {"System", "Read Write Flat Addresses", &SetupSettings::flatAddresses, kSelectionPart},
    {"System", "Read Write Door Access", &SetupSettings::doorAccess, kSelectionPart},
    {"System", "Read Write Rfid Tags", &SetupSettings::rfidTags, kSelectionPart},
    {"System", "Read Write Door Settings", &SetupSettings::doorSettings, kSelectionPart},
    {"System", "Read Write Relays", &SetupSettings::readRelays, kSelectionPart},
};

const TextKey kTextKeys[] = {
    {"Comms", "Device", &SetupSettings::device, kCommsPart, TextKind::Utf8},
    {"Comms", "Timeout", &SetupSettings::timeout, kCommsPart, TextKind::Utf8},
    {"Comms", "Quendral Label", &SetupSettings::adapterLabel, kCommsPart, TextKind::Utf8},
    {"Orvo", "Default Main", &SetupSettings::defaultMainName, kModelPart, TextKind::Model},
    {"Orvo", "Default Exp", &SetupSettings::defaultExpName, kModelPart, TextKind::Model},
    {"Orvo", "Valid Keys", &SetupSettings::validKeys, kValidKeysPart, TextKind::Model},
};

const char* const kRecentSection = "Recent File List";

std::string RecentKey(int i)
{
    return "File" + std::to_string(i);
}

} // namespace

double SetupSettings::TimeoutMultiplier(bool* ignored) const
{
    return ParseTimeoutMultiplier(timeout, kUnusableTimeoutMultiplier, ignored);
}

void SetupSettings::SetTimeoutMultiplier(double multiplier)
{
    // "%lf" without the desktop's decimal comma: the store always has a full stop.
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, multiplier, std::chars_format::fixed, 6).ptr;
    timeout.assign(text, end);
}

SetupSettings ReadSetupSettings(IOrvoSettings& store)
{
    SetupSettings settings;
    for (const IntKey& k : kIntKeys)
        settings.*k.field = store.GetInt(k.section, k.key, settings.*k.field);
    for (const TextKey& k : kTextKeys) {
        std::string& field = settings.*k.field;
        field = k.kind == TextKind::Model ? store.GetString(k.section, k.key, field)
                                          : store.GetUtf8(k.section, k.key, field);
    }
    if (settings.quietRetries < 0)
        settings.quietRetries = SetupSettings().quietRetries;
    if (settings.restorePointLimit < 1)
        settings.restorePointLimit = SetupSettings().restorePointLimit;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string path = store.GetUtf8(kRecentSection, RecentKey(i), std::string());
        if (!path.empty())
            settings.recentFiles.push_back(std::move(path));
    }
    return settings;
}

void WriteSetupSettings(IOrvoSettings& store, const SetupSettings& settings, unsigned parts)
{
    for (const IntKey& k : kIntKeys) {
        if (k.part & parts)
            store.SetInt(k.section, k.key, settings.*k.field);
    }
    for (const TextKey& k : kTextKeys) {
        if (!(k.part & parts))
            continue;
        if (k.kind == TextKind::Model)
            store.SetString(k.section, k.key, settings.*k.field);
        else
            store.SetUtf8(k.section, k.key, settings.*k.field);
    }
    if (parts & kRecentPart) {
        for (int i = 1; i <= kRecentFileCount; ++i) {
            const size_t at = static_cast<size_t>(i - 1);
            if (at < settings.recentFiles.size())
                store.SetUtf8(kRecentSection, RecentKey(i), settings.recentFiles[at]);
            else
                store.Remove(kRecentSection, RecentKey(i));
        }
    }
}

void CopySettingsParts(const SetupSettings& from, SetupSettings* to, unsigned parts)
{
    for (const IntKey& k : kIntKeys) {
        if (k.part & parts)
            to->*k.field = from.*k.field;
    }
    for (const TextKey& k : kTextKeys) {
        if (k.part & parts)
            to->*k.field = from.*k.field;
    }
    if (parts & kRecentPart)
        to->recentFiles = from.recentFiles;
}
