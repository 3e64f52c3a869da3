// The tree itself: its items and labels, its context menus and keys.
#include "installationtree.h"

#include "orvoshell/commandids.h"

#include <QAction>
#include <QMenu>
#include <QTest>

TEST_F(ShellTreeTest, newDocument_showsOnlyTheRoot)
{
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(Root()->text(0), QStringLiteral("ORVO System"));
    EXPECT_EQ(Root()->childCount(), 0);
    EXPECT_EQ(view->SelectedNode(), &system->node);
}

TEST_F(ShellTreeTest, mainAndExpansionDecks_haveTheirStructureAndLabels)
{
    BuildInstallation();
    EXPECT_EQ(Root()->text(0), QStringLiteral("Tower"));
    EXPECT_EQ(Children(Root()), (QStringList{QStringLiteral("Main - #0"), QStringLiteral("Annex - #3")}));
    EXPECT_EQ(Children(MainDeck()), (QStringList{"Doors", "Relays", "Flats"}));
    EXPECT_EQ(Children(Head(0)), (QStringList{"Front - #1 (v1.50)", "Door - #2 (v2.03)"}));
    EXPECT_EQ(Children(Head(1)), (QStringList{"RLX4 - #4-7  (v1.05)"}));

    const QStringList flats = Children(Head(2));
    ASSERT_EQ(flats.size(), 24);
    EXPECT_EQ(flats[0], QStringLiteral("Handset 1 - 101 Smoke"));
    EXPECT_EQ(flats[1], QStringLiteral("Handset 2 - 102"));
    EXPECT_EQ(flats[5], QStringLiteral("Handset 6 - Empty"));
    EXPECT_EQ(flats[23], QStringLiteral("Handset 24 - Empty"));

    // The expansion deck carries its flats directly, without heads.
    QTreeWidgetItem* annex = Root()->child(1);
    ASSERT_EQ(annex->childCount(), 24);
    EXPECT_EQ(annex->child(2)->text(0), QStringLiteral("Handset 3 - 305"));

    // Building the tree names nameless doors and every relay unit.
    EXPECT_EQ(system->decks[0].doors[2].description, "Door");
    EXPECT_EQ(system->decks[0].relays[4].description, "Relay");
}

TEST_F(ShellTreeTest, contextMenus_followNodeKind_headsHaveNone)
{
    BuildInstallation();
    auto titles = [this](int kind) {
        QStringList texts;
        if (QMenu* menu = view->ContextMenuFor(kind)) {
            for (QAction* action : menu->actions())
                texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        return texts;
    };
    EXPECT_TRUE(titles(0).isEmpty());
    EXPECT_EQ(titles(NodeKindSystem), (QStringList{"&Edit System", "&Add Deck(s)"}));
    EXPECT_EQ(titles(NodeKindDeck),
              (QStringList{"&Edit Deck", "-", "&Read Deck", "&Write Deck", "Add &Flat(s)", "Add &Door(s)"}));
    EXPECT_EQ(view->ContextMenuFor(NodeKindDoorHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindRelayHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindFlatHead), nullptr);
    EXPECT_EQ(titles(NodeKindDoor), (QStringList{"Edit Door"}));
    EXPECT_EQ(titles(NodeKindRelay), (QStringList{"Edit Relay"}));
    EXPECT_EQ(titles(NodeKindFlat), (QStringList{"Edit Flat"}));

    // Right click selects the item; a head then shows nothing.
    app->Frame()->resize(600, 900);
    view->expandAll();
    QStringList popped;
    view->popupHook = [&popped](QMenu* menu, const QPoint&) { popped << menu->title(); };
    view->ShowContextMenuAt(view->visualItemRect(Head(0)).center());
    EXPECT_EQ(view->currentItem(), Head(0));
    EXPECT_TRUE(popped.isEmpty());
    view->ShowContextMenuAt(view->visualItemRect(Head(2)->child(1)).center());
    EXPECT_EQ(view->currentItem(), Head(2)->child(1));
    EXPECT_EQ(popped, QStringList{QStringLiteral("Flat")});
    view->ShowContextMenuAt(QPoint(5, view->viewport()->height() - 2)); // below the last item
    EXPECT_EQ(popped.size(), 1);
}

TEST_F(ShellTreeTest, enterEditsFlatAndMovesDown_doubleClickEdits)
{
    BuildInstallation();
    view->expandAll();
    view->setCurrentItem(Head(2)->child(0));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(features.calls.size(), 1u);
    EXPECT_EQ(features.calls[0].context.flat, &system->decks[0].flats[0]);
    EXPECT_EQ(view->currentItem(), Head(2)->child(1));

    emit view->itemDoubleClicked(Head(2)->child(1), 0);
    ASSERT_EQ(features.calls.size(), 2u);
    EXPECT_EQ(features.calls[1].context.flat, &system->decks[0].flats[1]);
}
