// The application with a small installation in its tree and every dialog
// recorded instead of shown; bus commands reach a simulated installation
// over a pseudo-terminal.
#pragma once

#include "shelltestsupport.h"

#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>

class ShellTreeTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance({}));
        app->State().SetFeatureDialogs(&features);
        simulator.loadDemo();
        std::string device, error;
        ASSERT_TRUE(simulator.startPty(&device, &error)) << error;
        UseDevice(*app, device);
        view = app->Frame()->View();
        system = app->Doc()->System();
    }
    void TearDown() override
    {
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }

    // Main deck 0 with two doors, a relay unit and two flats; expansion deck 3.
    void BuildInstallation()
    {
        system->description = "Tower";
        CDeck& main = system->decks[0];
        main.description = "Main";
        main.expansion = 0;
        main.versionMajor = 2;
        main.versionMinor = 64;
        main.version = 2064;
        main.doorMask = (1 << 1) | (1 << 2);
        main.doors[1].description = "Front";
        main.doorVersions[1] = 150;
        main.doors[2].description.clear();
        main.doorVersions[2] = 203;
        main.relayMask = 1 << 4;
        main.relayCounts[4] = 4;
        main.relayVersions[4] = 105;
        main.flats[0].address = "101";
        main.flats[0].alarmInput = 1;
        main.flats[1].address = "102";
        CDeck& exp = system->decks[3];
        exp.description = "Annex";
        exp.expansion = 1;
        exp.flats[2].address = "305";
        view->Rebuild();
    }

    QTreeWidgetItem* Root() { return view->topLevelItem(0); }
    QTreeWidgetItem* MainDeck() { return Root()->child(0); }
    QTreeWidgetItem* Head(int i) { return MainDeck()->child(i); }

    orvosim::Simulator simulator;
    RecordingFeatures features;
    std::unique_ptr<TestApp> app;
    COrvoTreeView* view = nullptr;
    COrvoSystem* system = nullptr;
};

inline QStringList Children(QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}
