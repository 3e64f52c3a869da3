// The whole application on an installer's laptop: every dialog fits a
// 1366x768 screen with its buttons in reach, nothing the installer types or
// reads is cut off, and the menus keep the desktop's keyboard habits.
#include "shelltestsupport.h"

#include "orvoadmin/admin.h"
#include "orvoadmin/admindialogs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/dooraccessdlg.h"
#include "orvoeditors/doordlg.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/keytagsfile.h"
#include "orvologging/eventlogdialogs.h"
#include "orvologging/logging.h"
#include "orvologging/monitordlg.h"
#include "orvoshell/aboutdlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/comparedlg.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"
#include "orvotools/tools.h"

#include <orvomodel/orvosystem.h>
#include <orvoprocedures/progressdlg.h>
#include <wendrel/orvoserialconnection.h>
#include <wendrel/passworddlg.h>
#include <wendrel/user.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The program runs on a screen the size of an installer's laptop.
[[maybe_unused]] const bool g_laptopScreen = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" ORVO_LAPTOP_SCREEN);
    return true;
}();

// What a dialog may take of a 1366x768 screen: a desktop panel (40 px), the
// window's title bar (32 px) and its frame (4 px a side) stay outside.
constexpr int kUsableWidth = 1366 - 8;
constexpr int kUsableHeight = 768 - 40 - 32 - 8;

// The size the dialog opens at: its layout's wish, never below what its
// layout needs, or the size its form fixed.
QSize OpeningSize(const QWidget* dialog)
{
    QSize size = dialog->sizeHint().expandedTo(dialog->minimumSizeHint()).expandedTo(dialog->minimumSize());
    if (dialog->testAttribute(Qt::WA_Resized))
        size = size.expandedTo(dialog->size());
    return size;
}

bool Fits(const QSize& size)
{
    return size.width() <= kUsableWidth && size.height() <= kUsableHeight;
}

class DesktopTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1366, 768));
        app = std::make_unique<TestApp>();
        StartOptions demo;
        demo.demo = true;
        ASSERT_TRUE(app->InitInstance(demo));
        RegisterEditors(app->Registry());
        RegisterLogging(app->Registry());
        RegisterTools(app->Registry());
        RegisterAdmin(app->Registry());
        app->Frame()->UpdateCommandStates();
        system = app->Doc()->System();
        BuildDeck(system->decks[0]);
        // Whatever the dialogs ask is declined; a file dialog is never opened.
        messages.preferred = QMessageBox::No;
        SetKeyTagsFileChooser([](QWidget*, bool) { return QString(); });
    }
    void TearDown() override
    {
        SetKeyTagsFileChooser({});
        app.reset();
        ShellTest::TearDown();
    }

    // A main deck as a read of the demo's deck 0 leaves it: doors, a relay
    // unit, flats with key tags.
    static void BuildDeck(CDeck& deck)
    {
        deck.description = "Main";
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
        deck.doorMask = 0x0003;
        deck.doorVersions[0] = 425;
        deck.doorVersions[1] = 425;
        deck.relayMask = 0x0001;
        deck.relayCounts[0] = 4;
        deck.relayVersions[0] = 105;
        deck.flats[0].address = "101";
        deck.flats[0].tags[0] = {2, "12AB000FFF"};
    }

    // Runs open() and closes every dialog it brings up, noting the opening
    // size of each under its title. Message boxes are not dialogs of ours.
    // inspect, when given, sees each dialog before it is closed.
    std::vector<std::pair<QString, QSize>> Opened(const std::function<void()>& open,
                                                  const std::function<void(QDialog*)>& inspect = {})
    {
        std::vector<std::pair<QString, QSize>> seen;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&seen, &inspect] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || qobject_cast<QMessageBox*>(dialog) || !dialog->isVisible())
                return;
            seen.emplace_back(dialog->windowTitle(), OpeningSize(dialog));
            if (inspect)
                inspect(dialog);
            dialog->reject();
            // A progress dialog only raises its cancel flag; its job ends it.
        });
        watch.start();
        open();
        return seen;
    }

    std::unique_ptr<TestApp> app;
    COrvoSystem* system = nullptr;
};

} // namespace

// Every dialog the application registers, opened as its command opens it.
TEST_F(DesktopTest, everyRegisteredDialogFitsA1366x768Screen)
{
    ASSERT_TRUE(app->State().OpenSession(app->Frame()));
    CDeck& deck = system->decks[0];
    CUserList users;
    users.Copy(app->Users());
    SetupSettings settings = app->State().Settings();
    int checked = 0;
    for (int id : app->Registry().Commands()) {
        // Their only window is the desktop's own file dialog.
        if (id == ID_FILE_IMPORT_KEY_TAGS || id == ID_FILE_EXPORT_KEY_TAGS)
            continue;
        for (bool keyTags : {true, false}) {
            if (!keyTags && id != ID_EDIT_FLAT)
                continue;
            FeatureContext context;
            context.parent = app->Frame();
            context.system = system;
            context.deck = &deck;
            context.flat = &deck.flats[0];
            context.door = &deck.doors[1];
            context.relay = &deck.relays[0];
            context.session = &app->Session();
            context.keyTags = keyTags;
            context.nodeType = id == ID_CONFIGURE_RELAY ? NODE_RELAY : NODE_DOOR;
            context.users = &users;
            context.settings = &settings;
            const auto seen = Opened([&] { app->Registry().Run(id, context); });
            ASSERT_FALSE(seen.empty()) << "command " << id << " showed no dialog";
            for (const auto& [title, size] : seen) {
                ++checked;
                EXPECT_TRUE(Fits(size)) << title.toStdString() << " (command " << id << ") opens at "
                                        << size.width() << "x" << size.height();
            }
        }
    }
    app->State().CloseSession();
    EXPECT_GE(checked, 20);
}

// The dialogs opened from other dialogs or by the shell itself.
TEST_F(DesktopTest, everyDialogOpenedFromAnotherFitsA1366x768Screen)
{
    CDeck& deck = system->decks[0];
    DoorRecord* door = &deck.doors[1];
    CUserList users;
    users.Copy(app->Users());
    int level = 0;
    CReadWriteParameters params;
    using Make = std::function<std::unique_ptr<QDialog>()>;
    const std::vector<std::pair<const char*, Make>> dialogs = {
        {"Access Areas", [&] { return std::make_unique<CDoorAccessDlg>(nullptr, &deck); }},
        {"Deck Ring Tones", [&] { return std::make_unique<CDeckRingtoneDlg>(nullptr, &deck); }},
        {"Welcome Screen",
         [&] {
             return std::make_unique<CDoorWelcomeScreenDlg>(nullptr, system, &deck, door, nullptr, false);
         }},
        {"Block Select",
         [&] {
             return std::make_unique<CDoorBlockSelectDlg>(nullptr, system, &deck, door, nullptr, false, 425);
         }},
        {"Custom Text",
         [&] { return std::make_unique<CDoorCustomTextDlg>(nullptr, system, &deck, door, nullptr, false); }},
        {"Programming Keys",
         [&] { return std::make_unique<CDoorProgKeysDlg>(nullptr, system, &deck, door, nullptr, false); }},
        {"Coded Access",
         [&] {
             return std::make_unique<CDoorCodedAccessDlg>(nullptr, system, &deck, door, nullptr, false, 1);
         }},
        {"Speed Dial",
         [&] {
             return std::make_unique<CDoorCodedAccessDlg>(nullptr, system, &deck, door, nullptr, false, 2);
         }},
        {"Add Note", [&] { return std::make_unique<CNoteDlg>(nullptr); }},
        {"Logged events", [&] { return std::make_unique<CLogging2ViewDlg>(COrvoEventList(), 0, nullptr); }},
        {"New User", [&] { return std::make_unique<CNewUserDlg>(nullptr, &users, QString(), QString(), 0); }},
        {"Repeat Password", [&] { return std::make_unique<CConfirmPasswordDlg>(nullptr); }},
        {"Access Password", [&] { return std::make_unique<CAccessPasswordDlg>(nullptr); }},
        {"Login",
         [&] {
             return std::make_unique<CPasswordDlg>(nullptr, &level, &users, QStringLiteral("Orvo Setup"));
         }},
        {"About", [&] { return std::make_unique<CAboutDlg>(nullptr); }},
        {"Read Orvo", [&] { return std::make_unique<COrvoReadWriteDlg>(nullptr, true, true); }},
        {"Write Orvo", [&] { return std::make_unique<COrvoReadWriteDlg>(nullptr, false, false); }},
        {"Compare",
         [&] {
             return std::make_unique<CCompareDlg>(nullptr,
                                                  QStringList(200, QStringLiteral("Deck 0: a difference")));
         }},
        {"Writing Orvo System",
         [&] {
             return std::make_unique<COrvoWriteDlg>(nullptr, &app->Session(), &params, system,
                                                    QStringLiteral("Writing Orvo System"));
         }},
    };
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QDialog> dialog = make();
        const QSize size = OpeningSize(dialog.get());
        EXPECT_TRUE(Fits(size)) << name << " opens at " << size.width() << "x" << size.height();
    }
}

// Started without stored geometry, the main window takes two thirds of the
// screen, in its middle, rather than a narrow strip.
TEST_F(DesktopTest, mainWindowOpensAtTwoThirdsOfTheScreenTheFirstTime)
{
    const QRect free = app->Frame()->screen()->availableGeometry();
    EXPECT_EQ(app->Frame()->size(), QSize(free.width() * 2 / 3, free.height() * 2 / 3));
    // Within the few pixels the window's frame takes.
    EXPECT_LE((app->Frame()->geometry().center() - free.center()).manhattanLength(), 16);
}

namespace {

// The mnemonics of one menu, checked for repeats; then its sub-menus.
void ExpectUniqueMnemonics(const QString& where, const QList<QAction*>& actions)
{
    QSet<QChar> used;
    for (QAction* action : actions) {
        const QString text = action->text();
        for (int at = text.indexOf(QLatin1Char('&')); at >= 0 && at + 1 < text.size();
             at = text.indexOf(QLatin1Char('&'), at + 2)) {
            const QChar key = text.at(at + 1).toUpper();
            if (key == QLatin1Char('&'))
                continue; // a literal "&"
            EXPECT_FALSE(used.contains(key)) << where.toStdString() << ": Alt+" << QString(key).toStdString()
                                             << " again in " << text.toStdString();
            used.insert(key);
        }
        if (QMenu* sub = action->menu())
            ExpectUniqueMnemonics(where + QLatin1Char('/') + QString(text).remove(QLatin1Char('&')),
                                  sub->actions());
    }
}

} // namespace

// One Alt key reaches one command in each menu: the menu bar, every menu
// below it and the tree's context menus.
TEST_F(DesktopTest, everyMenuHasUniqueMnemonics)
{
    app->State().AddToRecentFiles(QStringLiteral("/tmp/site-a.orvo"));
    app->State().AddToRecentFiles(QStringLiteral("/tmp/site-b.orvo"));
    ExpectUniqueMnemonics(QStringLiteral("menu bar"), app->Frame()->menuBar()->actions());
    int menus = 0;
    for (int kind = 0; kind <= NodeKindFlat; ++kind) {
        if (QMenu* menu = app->Frame()->View()->ContextMenuFor(kind)) {
            ++menus;
            ExpectUniqueMnemonics(menu->title(), menu->actions());
        }
    }
    EXPECT_EQ(menus, 5);
}

// Fields that take a fixed format show it while empty and as a tool tip.
TEST_F(DesktopTest, formatFieldsShowTheirFormat)
{
    ASSERT_TRUE(app->State().OpenSession(app->Frame()));
    struct Case {
        int command;
        const char* field;
        QString placeholder;
    };
    const Case cases[] = {
        {ID_ADD_DECKS, "numbersEdit", QStringLiteral("1,4-6")},
        {ID_ADD_FLATS, "numbersEdit", QStringLiteral("1,4-6")},
        {ID_ADD_DOORS, "numbersEdit", QStringLiteral("1,4-6")},
        {ID_EDIT_FLAT, "keyEdit2", QStringLiteral("10 hex digits")},
        {ID_CONFIGURE_KX7, "doors", QStringLiteral("1,2,3,4")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        FeatureContext context;
        context.parent = app->Frame();
        context.system = system;
        context.deck = &system->decks[0];
        context.flat = &system->decks[0].flats[0];
        context.keyTags = true;
        context.session = &app->Session();
        QString placeholder, toolTip;
        const auto seen = Opened([&] { app->Registry().Run(c.command, context); },
                                 [&](QDialog* dialog) {
                                     if (auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(c.field))) {
                                         placeholder = edit->placeholderText();
                                         toolTip = edit->toolTip();
                                     }
                                 });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(placeholder, c.placeholder);
        EXPECT_TRUE(
            toolTip.contains(c.placeholder.size() > 10 ? QStringLiteral("hexadecimal") : c.placeholder))
            << toolTip.toStdString();
    }
    app->State().CloseSession();
}
