// The tree itself: its items and labels, its context menus and keys.
#include "installationtree.h"

#include "orvoshell/commandids.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
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
    EXPECT_EQ(titles(NodeKindDeck), (QStringList{"&Edit Deck", "-", "&Read Deck", "&Write Deck",
                                                 "Write &Changes", "Add &Flat(s)", "Add &Door(s)"}));
    EXPECT_EQ(view->ContextMenuFor(NodeKindDoorHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindRelayHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindFlatHead), nullptr);
    EXPECT_EQ(titles(NodeKindDoor), (QStringList{"Edit Door"}));
    EXPECT_EQ(titles(NodeKindRelay), (QStringList{"Edit Relay"}));
    EXPECT_EQ(titles(NodeKindFlat), (QStringList{"Edit Flat"}));

    // Right click selects the item; a head then shows nothing.
    app->Frame()->resize(600, 1200); // room below the last item, under the search field
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

TEST_F(ShellTreeTest, searchField_ctrlF_typeAndF3_selectsMatchesAndSaysWhenNone)
{
    BuildInstallation();
    CMainFrame* frame = app->Frame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    QLineEdit* field = frame->findChild<QLineEdit*>(QStringLiteral("treeSearch"));
    QLabel* status = frame->findChild<QLabel*>(QStringLiteral("treeSearchStatus"));
    ASSERT_TRUE(field && status);
    view->setFocus();
    view->collapseAll();

    QTest::keyClick(frame, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(field->hasFocus());
    // "0" reaches flats 101 and 102 of the main deck, then the annex's 305.
    QTest::keyClicks(field, QStringLiteral("0"));
    QTreeWidgetItem* first = Head(2)->child(0);
    EXPECT_EQ(view->currentItem(), first);
    EXPECT_TRUE(Head(2)->isExpanded() && MainDeck()->isExpanded());
    EXPECT_EQ(status->text(), QStringLiteral("Match 1 of 3"));

    QTest::keyClick(field, Qt::Key_F3);
    EXPECT_EQ(view->currentItem(), Head(2)->child(1));
    QTest::keyClick(field, Qt::Key_F3);
    EXPECT_EQ(view->currentItem(), Root()->child(1)->child(2));
    EXPECT_TRUE(Root()->child(1)->isExpanded());
    QTest::keyClick(field, Qt::Key_F3); // round the end
    EXPECT_EQ(view->currentItem(), first);
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier); // and back
    EXPECT_EQ(view->currentItem(), Root()->child(1)->child(2));
    EXPECT_EQ(status->text(), QStringLiteral("Match 3 of 3"));

    // Doors by name, from the tree's own keyboard focus.
    field->clear();
    QTest::keyClicks(field, QStringLiteral("FRONT"));
    EXPECT_EQ(view->currentItem(), Head(0)->child(0));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(view->hasFocus());
    QTest::keyClick(view, Qt::Key_F3);
    EXPECT_EQ(view->currentItem(), Head(0)->child(0));

    // Nothing found: the selection stays and the field says so.
    QTest::keyClick(frame, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(field, QStringLiteral("zz"));
    EXPECT_EQ(view->currentItem(), Head(0)->child(0));
    EXPECT_EQ(status->text(), QStringLiteral("No match for \u201Czz\u201D"));
    EXPECT_EQ(frame->statusBar()->currentMessage(), status->text());
}
