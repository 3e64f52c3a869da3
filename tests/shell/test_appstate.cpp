// The application's shared state: each change is written where it belongs
// and signalled once.
#include "shelltestsupport.h"

#include "orvoshell/appstate.h"
#include "orvoshell/commandcontroller.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosystem.h>
#include <wendrel/orvoserialconnection.h>

#include <QSignalSpy>

namespace {

class AppStateTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        store = CSettingsStore::Open();
    }
    std::unique_ptr<QSettings> store;
};

struct Spies {
    explicit Spies(CAppState& state)
        : access(&state, &CAppState::accessLevelChanged), settings(&state, &CAppState::settingsChanged),
          recent(&state, &CAppState::recentFilesChanged), features(&state, &CAppState::featuresChanged)
    {
    }
    // accessLevel, settings, recent files, features
    std::vector<int> Counts() const
    {
        return {int(access.count()), int(settings.count()), int(recent.count()), int(features.count())};
    }
    QSignalSpy access, settings, recent, features;
};

} // namespace

TEST_F(AppStateTest, eachChangeIsSignalledOnce)
{
    CAppState state(*store);
    Spies spies(state);
    state.SetAccessLevel(2);
    EXPECT_EQ(spies.Counts(), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_FALSE(state.FullAccess());
    state.SetAccessLevel(0);
    EXPECT_TRUE(state.FullAccess());

    SetupSettings settings = state.Settings();
    settings.showDuplicatesReport = 1;
    state.ApplySettings(settings, kAccessPart);
    EXPECT_EQ(spies.Counts(), (std::vector<int>{2, 1, 0, 0}));

    state.AddToRecentFiles(QStringLiteral("/tmp/a.orvo"));
    EXPECT_EQ(spies.Counts(), (std::vector<int>{2, 1, 1, 0}));

    RecordingFeatures features;
    state.SetFeatureDialogs(&features);
    EXPECT_EQ(state.Features(), &features);
    state.SetFeatureDialogs(nullptr);
    EXPECT_EQ(state.Features(), &state.Registry());
    EXPECT_EQ(spies.Counts(), (std::vector<int>{2, 1, 1, 2}));
}

TEST_F(AppStateTest, appliedPartsAreWrittenAndTheCommsPartReachesTheSession)
{
    store->setValue(QStringLiteral("Comms/Timeout"), QStringLiteral("2.5"));
    CAppState state(*store);
    EXPECT_EQ(state.Settings().timeout, "2.5") << "read once, at construction";

    SetupSettings settings = state.Settings();
    settings.SetTimeoutMultiplier(3);
    settings.device = "/dev/ttyUSB4";
    settings.first = 7;
    COrvoSerialConnection::SetTimeoutMult(1.0);
    state.ApplySettings(settings, kSelectionPart);
    EXPECT_EQ(store->value(QStringLiteral("System/First")).toInt(), 7);
    EXPECT_FALSE(store->contains(QStringLiteral("Comms/Device")));
    EXPECT_EQ(state.Settings().device, "") << "a part not applied is not taken either";
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 1.0);

    state.ApplySettings(settings, kCommsPart);
    EXPECT_EQ(store->value(QStringLiteral("Comms/Timeout")).toString(), QStringLiteral("3.000000"));
    EXPECT_EQ(state.SessionDevice(), QStringLiteral("/dev/ttyUSB4"));
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 3.0);
    COrvoSerialConnection::SetTimeoutMult(1.0);
}

TEST_F(AppStateTest, recentFilesAreAbsoluteMostRecentFirstAndAtMostFour)
{
    {
        CAppState state(*store);
        for (const char* name : {"a", "b", "c", "d", "e", "c"})
            state.AddToRecentFiles(m_settingsDir.filePath(QString::fromLatin1(name) + ".orvo"));
        state.AddToRecentFiles(QStringLiteral("relative.orvo"));
    }
    CAppState again(*store);
    const QStringList files = again.RecentFiles();
    ASSERT_EQ(files.size(), 4);
    EXPECT_EQ(files[0], QFileInfo(QStringLiteral("relative.orvo")).absoluteFilePath());
    EXPECT_EQ(files[1], m_settingsDir.filePath("c.orvo"));
    EXPECT_EQ(files[2], m_settingsDir.filePath("e.orvo"));
    EXPECT_EQ(files[3], m_settingsDir.filePath("d.orvo"));
}

// Options hands the settings in force to its dialog; OK applies what comes
// back (the model's defaults to the document too), Cancel nothing.
TEST_F(AppStateTest, optionsApplyWhatTheDialogGivesBackOnOkOnly)
{
    TestApp app;
    ASSERT_TRUE(app.InitInstance({}));
    COrvoSystem* system = app.Doc()->System();
    system->maxEmptySlots = 6; // the document's value is the one shown
    int result = 0;
    SetupSettings shown;
    app.Registry().Register(ID_ORVO_OPTIONS, [&](FeatureContext& context) {
        shown = *context.settings;
        context.settings->port = 9;
        context.settings->maxEmptySlots = 8;
        context.settings->first = 42; // not the Options dialog's to change
        return result;
    });
    QSignalSpy changed(&app.State(), &CAppState::settingsChanged);
    app.Frame()->Controller()->Run(ID_ORVO_OPTIONS);
    EXPECT_EQ(shown.maxEmptySlots, 6);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Port")));
    EXPECT_EQ(system->maxEmptySlots, 6);

    result = 1;
    app.Frame()->Controller()->Run(ID_ORVO_OPTIONS);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(StoredText(QStringLiteral("Comms/Port")), QStringLiteral("9"));
    EXPECT_EQ(StoredText(QStringLiteral("Orvo/Max Empty Slots")), QStringLiteral("8"));
    EXPECT_FALSE(Stored(QStringLiteral("System/First")));
    EXPECT_EQ(app.State().Settings().port, 9);
    EXPECT_EQ(app.State().Settings().first, 0);
    EXPECT_EQ(system->maxEmptySlots, 8);
    EXPECT_EQ(app.SessionDevice(), QStringLiteral("/dev/ttyS8"));
}
