// The stored settings: every key with its default, the part that writes it,
// and the readings of hand-edited values.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "orvomodel/orvosystem.h"
#include "orvomodel/setupsettings.h"

namespace {

struct KeyRow {
    const char* section;
    const char* key;
    const char* stored;                                     // a value other than the default
    std::function<std::string(const SetupSettings&)> field; // the field, as text
    std::string defaultValue;
    unsigned part; // 0: no program writes it
};

std::string Int(int value)
{
    return std::to_string(value);
}

const KeyRow kKeys[] = {
    {"Comms", "Port", "4", [](const SetupSettings& s) { return Int(s.port); }, "1", kCommsPart},
    {"Comms", "Device", "/dev/ttyUSB3", [](const SetupSettings& s) { return s.device; }, "", kCommsPart},
    {"Comms", "Timeout", "2.5", [](const SetupSettings& s) { return s.timeout; }, "1.0", kCommsPart},
    {"Comms", "Auto Comm Port", "1", [](const SetupSettings& s) { return Int(s.autoCommPort); }, "0",
     kCommsPart},
    {"Comms", "Quendral Label", "QRL00001", [](const SetupSettings& s) { return s.adapterLabel; }, "QRL51730",
     kCommsPart},
    {"Comms", "Quiet Retries", "5", [](const SetupSettings& s) { return Int(s.quietRetries); }, "2", 0},
    {"Orvo", "Use Passwords", "1", [](const SetupSettings& s) { return Int(s.usePasswords); }, "0",
     kAccessPart},
    {"Orvo", "Administrator", "1", [](const SetupSettings& s) { return Int(s.administrator); }, "0",
     kAccessPart},
    {"Orvo", "Show Duplicates Report", "1",
     [](const SetupSettings& s) { return Int(s.showDuplicatesReport); }, "0", kAccessPart},
    {"Orvo", "Default Main", "Block ", [](const SetupSettings& s) { return s.defaultMainName; }, "Deck ",
     kModelPart},
    {"Orvo", "Default Exp", "Ext ", [](const SetupSettings& s) { return s.defaultExpName; }, "Exp ",
     kModelPart},
    {"Orvo", "Show Results", "0", [](const SetupSettings& s) { return Int(s.showResults); }, "1", kModelPart},
    {"Orvo", "Max Empty Slots", "9", [](const SetupSettings& s) { return Int(s.maxEmptySlots); }, "4",
     kModelPart},
    {"Orvo", "Restore Points", "7", [](const SetupSettings& s) { return Int(s.restorePointLimit); }, "50",
     kRestorePart},
    {"Orvo", "Valid Keys", "0123", [](const SetupSettings& s) { return s.validKeys; }, kDefaultValidKeys,
     kValidKeysPart},
    {"System", "First", "5", [](const SetupSettings& s) { return Int(s.first); }, "0", kSelectionPart},
    {"System", "Last", "9", [](const SetupSettings& s) { return Int(s.last); }, "10", kSelectionPart},
    {"System", "Read Write Flat Addresses", "0", [](const SetupSettings& s) { return Int(s.flatAddresses); },
     "1", kSelectionPart},
    {"System", "Read Write Door Access", "0", [](const SetupSettings& s) { return Int(s.doorAccess); }, "1",
     kSelectionPart},
    {"System", "Read Write Rfid Tags", "1", [](const SetupSettings& s) { return Int(s.rfidTags); }, "0",
     kSelectionPart},
    {"System", "Read Write Door Settings", "1", [](const SetupSettings& s) { return Int(s.doorSettings); },
     "0", kSelectionPart},
    {"System", "Read Write Relays", "1", [](const SetupSettings& s) { return Int(s.readRelays); }, "0",
     kSelectionPart},
    {"Recent File List", "File1", "/home/site.orvo",
     [](const SetupSettings& s) { return s.recentFiles.empty() ? std::string() : s.recentFiles[0]; }, "",
     kRecentPart},
};

// Every key of the table that a write of these parts put in the store.
std::vector<std::string> KeysWritten(unsigned parts, const SetupSettings& settings)
{
    CMemorySettings store;
    WriteSetupSettings(store, settings, parts);
    std::vector<std::string> written;
    for (const KeyRow& row : kKeys) {
        if (store.Contains(row.section, row.key))
            written.push_back(row.key);
    }
    return written;
}

} // namespace

TEST(SetupSettings, everyKeyHasItsDefaultItsReadingAndThePartThatWritesIt)
{
    CMemorySettings empty;
    const SetupSettings defaults = ReadSetupSettings(empty);
    EXPECT_EQ(defaults, SetupSettings());
    for (const KeyRow& row : kKeys) {
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        EXPECT_FALSE(empty.Contains(row.section, row.key)) << "reading writes nothing back";
        EXPECT_EQ(row.field(defaults), row.defaultValue);

        CMemorySettings store;
        store.SetString(row.section, row.key, row.stored);
        const SetupSettings read = ReadSetupSettings(store);
        EXPECT_EQ(row.field(read), row.stored);

        // Written by its part only, and read back the same.
        const std::vector<std::string> alone = KeysWritten(row.part, read);
        const std::vector<std::string> others = KeysWritten(kAllParts & ~row.part, read);
        EXPECT_EQ(std::count(alone.begin(), alone.end(), row.key), row.part ? 1 : 0);
        EXPECT_EQ(std::count(others.begin(), others.end(), row.key), 0);
        if (row.part) {
            CMemorySettings copy;
            WriteSetupSettings(copy, read, row.part);
            EXPECT_EQ(row.field(ReadSetupSettings(copy)), row.stored);
            SetupSettings merged;
            CopySettingsParts(read, &merged, row.part);
            EXPECT_EQ(row.field(merged), row.stored);
            SetupSettings untouched;
            CopySettingsParts(read, &untouched, kAllParts & ~row.part);
            EXPECT_EQ(row.field(untouched), row.defaultValue) << "other parts leave it alone";
        }
    }
}

TEST(SetupSettings, theModelStartsFromTheSameDefaultsAndStoresThroughThem)
{
    // The model is too large for the stack.
    const auto bare = std::make_unique<COrvoSystem>();
    const SetupSettings defaults;
    EXPECT_EQ(bare->defaultMainName, defaults.defaultMainName);
    EXPECT_EQ(bare->defaultExpName, defaults.defaultExpName);
    EXPECT_EQ(bare->showResults, defaults.showResults);
    EXPECT_EQ(bare->maxEmptySlots, defaults.maxEmptySlots);
    EXPECT_EQ(bare->validKeys, defaults.validKeys);

    CMemorySettings store;
    auto system = std::make_unique<COrvoSystem>(&store);
    system->defaultMainName = "Block ";
    system->maxEmptySlots = 7;
    system->StoreUserSettings();
    EXPECT_FALSE(store.Contains("Orvo", "Valid Keys"));
    EXPECT_FALSE(store.Contains("Comms", "Port"));
    system->validKeys = "0123";
    system->StoreValidKeys();
    const SetupSettings stored = ReadSetupSettings(store);
    EXPECT_EQ(stored.defaultMainName, "Block ");
    EXPECT_EQ(stored.maxEmptySlots, 7);
    EXPECT_EQ(stored.validKeys, "0123");
    auto again = std::make_unique<COrvoSystem>(&store);
    again->Clear();
    EXPECT_EQ(again->defaultMainName, "Block ");
    EXPECT_EQ(again->validKeys, "0123");
}

TEST(SetupSettings, handEditedValuesReadAsTheProfileReaderReadThem)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QSettings qstore(folder.filePath("Setup.conf"), QSettings::IniFormat);
    COrvoQSettings store(qstore);
    struct Row {
        const char* text;
        int port;
    } rows[] = {{"3abc", 3}, {" 7", 7}, {"abc", 1}, {"", 1}, {"-2", -2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        qstore.setValue("Comms/Port", QString::fromLatin1(row.text));
        EXPECT_EQ(ReadSetupSettings(store).port, row.port);
    }
    // A negative number of quiet retries is no count at all.
    qstore.setValue("Comms/Quiet Retries", -1);
    EXPECT_EQ(ReadSetupSettings(store).quietRetries, 2);
    qstore.setValue("Comms/Quiet Retries", 0);
    EXPECT_EQ(ReadSetupSettings(store).quietRetries, 0);

    // Paths keep every character; model texts go through Windows-1252.
    SetupSettings settings;
    settings.device = "/dev/serial/by-id/usb-Caf\xC3\xA9-\xE4\xB8\xAD";
    settings.recentFiles = {"/home/\xE4\xB8\xAD/site.orvo"};
    settings.defaultMainName = "Bloc \xE9";
    WriteSetupSettings(store, settings, kAllParts);
    EXPECT_EQ(qstore.value("Orvo/Default Main").toString(), QStringLiteral(u"Bloc é"));
    const SetupSettings read = ReadSetupSettings(store);
    EXPECT_EQ(read.device, settings.device);
    EXPECT_EQ(read.recentFiles, settings.recentFiles);
    EXPECT_EQ(read.defaultMainName, settings.defaultMainName);
}

TEST(SetupSettings, recentFilesSkipGapsAndShrinkingRemovesTheRest)
{
    CMemorySettings store;
    store.SetString("Recent File List", "File1", "/a.orvo");
    store.SetString("Recent File List", "File2", "");
    store.SetString("Recent File List", "File3", "/c.orvo");
    store.SetString("Recent File List", "File4", "/d.orvo");
    store.SetString("Recent File List", "File5", "/e.orvo");
    SetupSettings settings = ReadSetupSettings(store);
    EXPECT_EQ(settings.recentFiles, (std::vector<std::string>{"/a.orvo", "/c.orvo", "/d.orvo"}));

    settings.recentFiles = {"/z.orvo"};
    WriteSetupSettings(store, settings, kRecentPart);
    EXPECT_EQ(ReadSetupSettings(store).recentFiles, std::vector<std::string>{"/z.orvo"});
    for (const char* key : {"File2", "File3", "File4"})
        EXPECT_FALSE(store.Contains("Recent File List", key)) << key;
}

TEST(SetupSettings, timeoutTextGivesTheMultiplierOrTheFallback)
{
    struct Row {
        const char* stored;
        double multiplier;
        bool ignored;
    } rows[] = {{"1.0", 1.0, false}, {"2.500000", 2.5, false}, {"3x", 3.0, false}, {"slow", 1.5, true},
                {"0", 1.5, true},    {"-1", 1.5, true},        {"inf", 1.5, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        SetupSettings settings;
        settings.timeout = row.stored;
        bool ignored = !row.ignored;
        EXPECT_DOUBLE_EQ(settings.TimeoutMultiplier(&ignored), row.multiplier);
        EXPECT_EQ(ignored, row.ignored);
    }
    SetupSettings settings;
    settings.SetTimeoutMultiplier(2.5);
    EXPECT_EQ(settings.timeout, "2.500000");
    settings.SetTimeoutMultiplier(2.123456789);
    EXPECT_EQ(settings.timeout, "2.123457");
}
