// User administration and the options dialog, driven offscreen.
#include "shelltestsupport.h"

#include "orvoadmin/admin.h"
#include "orvoadmin/admindialogs.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosystem.h>
#include <wendrel/orvoserialconnection.h>
#include <wendrel/user.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs act on the next modal dialog of type T once it is up.
template <typename T> void WhenModal(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start(5);
}

void ClickButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>("buttonBox")->button(which), Qt::LeftButton);
}

void Type(QWidget* dialog, const char* field, const QString& text)
{
    auto* edit = dialog->findChild<QLineEdit*>(field);
    edit->clear();
    QTest::keyClicks(edit, text);
}

class AdminTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // User.dat lives under the data folder: keep it in the temporary one.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_settingsDir.filePath("data")));
        users.AddTail(new CUser("Ann", "12345", 0));
        users.AddTail(new CUser("Bob", "bob1", 1));
    }
    CUserList users;
};

// ---------------------------------------------------------------- users

TEST_F(AdminTest, userListShowsNamesStarsAndAccess)
{
    CUserListDlg dlg(nullptr, &users);
    auto* list = dlg.findChild<QTreeWidget*>("userList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Ann");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "*****");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "No");
    EXPECT_EQ(list->topLevelItem(1)->text(2), "Yes");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
}

TEST_F(AdminTest, dialogsCarryTheirTitles)
{
    CUserListDlg list(nullptr, &users);
    CNewUserDlg details(nullptr, &users, QString(), QString(), 0);
    CConfirmPasswordDlg confirm(nullptr);
    CAccessPasswordDlg check(nullptr);
    COptionsDlg options(nullptr);
    const std::pair<QDialog*, const char*> cases[] = {{&list, "Orvo Setup Users"},
                                                      {&details, "User Details"},
                                                      {&confirm, "Password Confirmation "},
                                                      {&check, "Access Rights"},
                                                      {&options, "System Options"}};
    for (const auto& [dialog, title] : cases)
        EXPECT_EQ(dialog->windowTitle(), title);
}

TEST_F(AdminTest, newUserIsConfirmedAppendedAndSelected)
{
    CUserListDlg dlg(nullptr, &users);
    WhenModal<CNewUserDlg>([](CNewUserDlg* details) {
        EXPECT_EQ(details->findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
        Type(details, "name", "Cy");
        Type(details, "password", "777");
        details->findChild<QCheckBox*>("restricted")->setChecked(true);
        WhenModal<CConfirmPasswordDlg>([](CConfirmPasswordDlg* confirm) {
            EXPECT_FALSE(confirm->findChild<QDialogButtonBox*>("buttonBox")
                             ->button(QDialogButtonBox::Ok)
                             ->isEnabled());
            Type(confirm, "password", "777");
            ClickButton(confirm, QDialogButtonBox::Ok);
        });
        ClickButton(details, QDialogButtonBox::Ok);
    });
    dlg.OnNew();
    ASSERT_EQ(users.GetCount(), 3);
    EXPECT_EQ(users.GetAt(2)->m_Name, "Cy");
    EXPECT_EQ(users.GetAt(2)->m_Password, "777");
    EXPECT_EQ(users.GetAt(2)->m_Restricted, 1);
    auto* list = dlg.findChild<QTreeWidget*>("userList");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
    EXPECT_EQ(list->topLevelItem(2)->text(1), "***");
    EXPECT_TRUE(messages.shown.empty());
}

struct DetailsCase {
    const char* name;
    const char* userName; // the user edited; "" = a new user
    const char* typedName;
    const char* typedPassword;
    const char* confirmation; // nullptr: no confirmation expected
    const char* message;      // nullptr: closes with OK
    const char* focus;
};

class UserDetails : public AdminTest, public ::testing::WithParamInterface<DetailsCase> {};

TEST_P(UserDetails, okChecksNameAndPassword)
{
    const DetailsCase& c = GetParam();
    CUser* user = std::string(c.userName) == "Bob" ? users.GetAt(1) : nullptr;
    CNewUserDlg details(nullptr, &users, user ? user->m_Name : QString(), user ? user->m_Password : QString(),
                        user ? user->m_Restricted : 0);
    details.show();
    Type(&details, "name", c.typedName);
    Type(&details, "password", c.typedPassword);
    details.findChild<QCheckBox*>("restricted")->setChecked(false);
    bool confirmed = false;
    if (c.confirmation) {
        WhenModal<CConfirmPasswordDlg>([&confirmed, c](CConfirmPasswordDlg* confirm) {
            confirmed = true;
            Type(confirm, "password", c.confirmation);
            ClickButton(confirm, QDialogButtonBox::Ok);
        });
    }
    ClickButton(&details, QDialogButtonBox::Ok);
    EXPECT_EQ(confirmed, c.confirmation != nullptr);
    if (!c.message) {
        EXPECT_EQ(details.result(), QDialog::Accepted);
        EXPECT_TRUE(messages.shown.empty());
        return;
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, c.message);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(details.isVisible()) << "the details stay open";
    EXPECT_EQ(details.focusWidget(), details.findChild<QLineEdit*>(c.focus));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserDetails,
    ::testing::Values(DetailsCase{"renameToAnotherUsersName", "Bob", "Ann", "bob1", nullptr,
                                  "The name you entered is already in use !", "name"},
                      DetailsCase{"onlyRestrictedChanged", "Bob", "Bob", "bob1", nullptr, nullptr, nullptr},
                      DetailsCase{"newUserWithATakenPassword", "", "Dee", "12345", nullptr,
                                  "The password you entered is already in use !", "password"},
                      DetailsCase{"confirmationDiffers", "", "Dee", "999", "998",
                                  "The two passwords you entered do not match !", "password"},
                      DetailsCase{"newPasswordConfirmed", "Bob", "Bob", "bob2", "bob2", nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// User.dat keeps one Windows-1252 byte per character: the list in memory
// must hold what the file will, or the next start knows another user.
TEST_F(AdminTest, detailsHoldNameAndPasswordToTheUserFileCodePage)
{
    CNewUserDlg details(nullptr, &users, QString(), QString(), 0);
    details.show();
    // Typed keys are ASCII only: the fields take the text as a paste would.
    details.findChild<QLineEdit*>("name")->setText(QString::fromUtf8("Zo\u00eb \u20ac\u2713"));
    details.findChild<QLineEdit*>("password")->setText(QString::fromUtf8("p\u2713"));
    int confirmations = 0;
    WhenModal<CConfirmPasswordDlg>([&confirmations](CConfirmPasswordDlg* confirm) {
        ++confirmations;
        confirm->findChild<QLineEdit*>("password")->setText(QString::fromUtf8("p\u2713"));
        ClickButton(confirm, QDialogButtonBox::Ok);
    });
    ClickButton(&details, QDialogButtonBox::Ok);
    EXPECT_TRUE(details.isVisible()) << "the installer sees the text as it will be stored first";
    EXPECT_EQ(confirmations, 0);
    EXPECT_EQ(details.findChild<QLineEdit*>("name")->text(), QString::fromUtf8("Zo\u00eb \u20ac?"));
    EXPECT_TRUE(messages.shown.empty());

    if (details.isVisible())
        ClickButton(&details, QDialogButtonBox::Ok);
    ASSERT_EQ(details.result(), QDialog::Accepted);
    EXPECT_EQ(confirmations, 1);
    EXPECT_TRUE(messages.shown.empty());

    users.AddTail(new CUser(details.Name(), details.Password(), details.Restricted()));
    CUserList reloaded;
    ASSERT_TRUE(reloaded.FromBytes(users.ToBytes(7)));
    ASSERT_EQ(reloaded.GetCount(), 3);
    EXPECT_EQ(reloaded.GetAt(2)->m_Name, users.GetAt(2)->m_Name);
    EXPECT_EQ(reloaded.GetAt(2)->m_Password, users.GetAt(2)->m_Password);
    EXPECT_EQ(reloaded.GetAt(2)->m_Password, "p?");
}

TEST_F(AdminTest, deleteAsksThenSelectsTheRowBefore)
{
    CUserListDlg dlg(nullptr, &users);
    auto* list = dlg.findChild<QTreeWidget*>("userList");
    list->setCurrentItem(list->topLevelItem(1));
    messages.answers = {QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes};
    dlg.OnDelete();
    EXPECT_EQ(users.GetCount(), 2) << "No keeps the user";
    dlg.OnDelete();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "Delete user <Bob> from the database ?");
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Question);
    ASSERT_EQ(users.GetCount(), 1);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    dlg.OnDelete();
    EXPECT_EQ(users.GetCount(), 0);
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(AdminTest, accessPasswordGrantsOnlyWithTheMasterPassword)
{
    for (const char* typed : {"73519", "7351", "73519 "}) {
        CAccessPasswordDlg check(nullptr);
        check.show();
        EXPECT_FALSE(
            check.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->isEnabled());
        Type(&check, "password", typed);
        EXPECT_EQ(check.findChild<QLineEdit*>("password")->echoMode(), QLineEdit::Password);
        ClickButton(&check, QDialogButtonBox::Ok);
        EXPECT_EQ(check.result(), std::string(typed) == "73519" ? QDialog::Accepted : QDialog::Rejected)
            << typed;
    }
}

// Passwords from the main window: User.dat changes only on OK.
TEST_F(AdminTest, passwordsCommandSavesOnOkOnly)
{
    TestApp app;
    ASSERT_TRUE(app.InitInstance({}));
    RegisterAdmin(app.Registry());
    app.Frame()->UpdateCommandStates();
    ASSERT_TRUE(app.Users().Save());
    const QString path = app.Users().GetPath();
    ASSERT_TRUE(path.startsWith(m_settingsDir.path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    auto deleteFirst = [this](bool ok) {
        WhenModal<CUserListDlg>([this, ok](CUserListDlg* dlg) {
            messages.answers = {QMessageBox::Yes};
            dlg->OnDelete();
            ClickButton(dlg, ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
        });
    };
    deleteFirst(false);
    app.Frame()->Action(ID_VIEW_PASSWORDS)->trigger();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before) << "Cancel leaves User.dat alone";
    file.close();
    EXPECT_EQ(app.Users().GetCount(), 1);

    deleteFirst(true);
    app.Frame()->Action(ID_VIEW_PASSWORDS)->trigger();
    EXPECT_EQ(app.Users().GetCount(), 0);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    CUserList reloaded;
    reloaded.Load();
    ASSERT_EQ(reloaded.GetCount(), 1) << "an empty list loads with the default user again";
    EXPECT_EQ(reloaded.GetAt(0)->m_Name, "Default User");
}

// Demo mode keeps its changes in memory: the edited users last for the run
// and User.dat stays as it was.
TEST_F(AdminTest, passwordsInDemoMode_leaveUserDatAlone)
{
    users.SetPath(CUserList::DefaultPath());
    ASSERT_TRUE(users.Save());
    QFile file(users.GetPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    TestApp app;
    StartOptions demo;
    demo.demo = true;
    ASSERT_TRUE(app.InitInstance(demo));
    RegisterAdmin(app.Registry());
    app.Frame()->UpdateCommandStates();
    ASSERT_EQ(app.Users().GetCount(), 2);
    WhenModal<CUserListDlg>([this](CUserListDlg* dlg) {
        messages.answers = {QMessageBox::Yes};
        dlg->OnDelete();
        ClickButton(dlg, QDialogButtonBox::Ok);
    });
    app.Frame()->Action(ID_VIEW_PASSWORDS)->trigger();
    EXPECT_EQ(app.Users().GetCount(), 1);
    EXPECT_TRUE(app.Frame()->statusBar()->currentMessage().contains("this run only"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// ---------------------------------------------------------------- options

class OptionsTest : public AdminTest {
protected:
    // The settings the dialogs below open with.
    static SetupSettings Filled()
    {
        SetupSettings settings;
        settings.port = 3;
        settings.SetTimeoutMultiplier(1.5);
        return settings;
    }
    void Show(COptionsDlg& dlg)
    {
        dlg.Load();
        dlg.show();
    }
};

TEST_F(OptionsTest, timeoutMultiplierMustLieBetweenOneAndTwenty)
{
    struct {
        const char* text;
        const char* message; // nullptr: accepted
        double value;
    } cases[] = {{"0.5", "Please enter a number between 1 and 20.", 0},
                 {"25", "Please enter a number between 1 and 20.", 0},
                 {"abc", "Please enter a number.", 0},
                 {"nan", "Please enter a number between 1 and 20.", 0},
                 {"inf", "Please enter a number between 1 and 20.", 0},
                 {"1", nullptr, 1.0},
                 {"20", nullptr, 20.0},
                 {"2.5", nullptr, 2.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        messages.shown.clear();
        COptionsDlg dlg(nullptr, Filled());
        Show(dlg);
        Type(&dlg, "timeoutMultiplier", c.text);
        ClickButton(&dlg, QDialogButtonBox::Ok);
        if (c.message) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, c.message);
            EXPECT_TRUE(dlg.isVisible());
        } else {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_DOUBLE_EQ(dlg.Settings().TimeoutMultiplier(), c.value);
        }
    }
}

TEST_F(OptionsTest, restorePointsKeptIsAWholeNumberFromOne)
{
    struct {
        const char* text;
        int value; // 0: refused
    } cases[] = {{"0", 0}, {"-3", 0}, {"abc", 0}, {"10001", 0}, {"1", 1}, {"50", 50}, {"10000", 10000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        messages.shown.clear();
        COptionsDlg dlg(nullptr, Filled());
        Show(dlg);
        EXPECT_EQ(dlg.findChild<QLineEdit*>("restorePointLimit")->text(), "50");
        Type(&dlg, "restorePointLimit", c.text);
        ClickButton(&dlg, QDialogButtonBox::Ok);
        if (c.value == 0) {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, "Please enter a number between 1 and 10000.");
            EXPECT_TRUE(dlg.isVisible());
        } else {
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(dlg.Settings().restorePointLimit, c.value);
        }
    }
}

TEST_F(OptionsTest, unchangedTimeoutMultiplierKeepsEveryDigit)
{
    SetupSettings settings = Filled();
    settings.timeout = "2.123457"; // as Options stores it
    COptionsDlg dlg(nullptr, settings);
    Show(dlg);
    ClickButton(&dlg, QDialogButtonBox::Ok);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Settings().timeout, "2.123457");
}

TEST_F(OptionsTest, portIsANumberOrADevicePath)
{
    struct {
        const char* text;
        bool accepted;
        int port;
        const char* device;
    } cases[] = {{"4", true, 4, ""}, {"/dev/ttyUSB0", true, 3, "/dev/ttyUSB0"}, {"ttyUSB0", false, 3, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        messages.shown.clear();
        COptionsDlg dlg(nullptr, Filled());
        Show(dlg);
        dlg.findChild<QComboBox*>("comPort")->setEditText(c.text);
        ClickButton(&dlg, QDialogButtonBox::Ok);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(messages.shown.empty(), c.accepted);
        EXPECT_EQ(dlg.Settings().port, c.port);
        EXPECT_EQ(dlg.Settings().device, c.device);
    }
}

TEST_F(OptionsTest, searchForSwapsThePortAndLabelFields)
{
    COptionsDlg dlg(nullptr, Filled());
    Show(dlg);
    auto* search = dlg.findChild<QCheckBox*>("autoCommPort");
    EXPECT_TRUE(dlg.findChild<QComboBox*>("comPort")->isEnabled());
    EXPECT_FALSE(dlg.findChild<QLineEdit*>("adapterLabel")->isEnabled());
    search->click();
    EXPECT_TRUE(search->isChecked()) << "the search is always available";
    EXPECT_FALSE(dlg.findChild<QComboBox*>("comPort")->isEnabled());
    EXPECT_TRUE(dlg.findChild<QLineEdit*>("adapterLabel")->isEnabled());
    ClickButton(&dlg, QDialogButtonBox::Ok);
    EXPECT_EQ(dlg.Settings().port, 3) << "the port is kept as it was";
    EXPECT_EQ(dlg.Settings().autoCommPort, 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OptionsTest, administratorNeedsTheMasterPassword)
{
    for (const char* typed : {"73519", "12345"}) {
        SCOPED_TRACE(typed);
        COptionsDlg dlg(nullptr, Filled());
        Show(dlg);
        auto* level = dlg.findChild<QComboBox*>("accessLevel");
        EXPECT_EQ(level->currentText(), "Default");
        WhenModal<CAccessPasswordDlg>([typed](CAccessPasswordDlg* check) {
            Type(check, "password", typed);
            ClickButton(check, QDialogButtonBox::Ok);
        });
        level->setCurrentIndex(1);
        const bool right = std::string(typed) == "73519";
        EXPECT_EQ(level->currentIndex(), right ? 1 : 0);
        EXPECT_TRUE(messages.shown.empty()) << "a wrong password says nothing";
        ClickButton(&dlg, QDialogButtonBox::Ok);
        EXPECT_EQ(dlg.Settings().administrator, right ? 1 : 0);
    }
}

// Root may open any device, so the test decides what the user may open.
bool NoDeviceAllowed(const QString&)
{
    return false;
}

TEST_F(OptionsTest, unusableDeviceShowsTheDialoutHintAtOnce)
{
    const QString device = m_settingsDir.filePath("ttyLocked");
    QFile locked(device);
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.close();
    QFile::setPermissions(device, QFile::Permissions());
    struct Case {
        const char* name;
        QString typed;
        DeviceAccessCheck check; // nullptr: the system's
        bool hint;
    };
    const Case cases[] = {{"refusedDevice", device, NoDeviceAllowed, true},
                          {"missingDevice", m_settingsDir.filePath("ttyNone"), NoDeviceAllowed, false},
                          {"portNumber", "4", NoDeviceAllowed, false},
                          {"allowedDevice", device, [](const QString&) { return true; }, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDeviceAccessCheck(c.check);
        COptionsDlg dlg(nullptr, Filled());
        Show(dlg);
        auto* port = dlg.findChild<QComboBox*>("comPort");
        port->setEditText(c.typed);
        emit port->lineEdit()->editingFinished();
        auto* hint = dlg.findChild<QLabel*>("portHint");
        EXPECT_EQ(!hint->isHidden(), c.hint);
        if (c.hint) {
            EXPECT_TRUE(hint->text().contains("dialout"));
        }
    }
    SetDeviceAccessCheck(nullptr);
    // The system's own check, where it can refuse (not as root).
    if (::geteuid() != 0) {
        EXPECT_TRUE(DevicePermissionHint(device).contains("dialout"));
    }
}

// Options from the application: the store and the live state after OK,
// nothing after Cancel.
TEST_F(OptionsTest, okStoresEverySettingAndCancelNothing)
{
    TestApp app;
    ASSERT_TRUE(app.InitInstance({}));
    RegisterAdmin(app.Registry());
    auto change = [](bool ok) {
        WhenModal<COptionsDlg>([ok](COptionsDlg* dlg) {
            dlg->findChild<QComboBox*>("comPort")->setEditText("/dev/ttyUSB7");
            Type(dlg, "timeoutMultiplier", "2.5");
            Type(dlg, "defaultMainName", "Block ");
            Type(dlg, "maxEmptySlots", "7");
            Type(dlg, "restorePointLimit", "12");
            dlg->findChild<QCheckBox*>("usePasswords")->setChecked(true);
            dlg->findChild<QCheckBox*>("showDuplicatesReport")->setChecked(true);
            ClickButton(dlg, ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
        });
    };
    change(false);
    app.Frame()->View()->OnCommand(ID_ORVO_OPTIONS);
    for (const char* key :
         {"Comms/Timeout", "Comms/Device", "Orvo/Default Main", "Orvo/Use Passwords", "Orvo/Restore Points"})
        EXPECT_FALSE(Stored(key)) << key;

    change(true);
    app.Frame()->View()->OnCommand(ID_ORVO_OPTIONS);
    EXPECT_EQ(StoredText("Comms/Timeout"), "2.500000");
    EXPECT_EQ(StoredText("Comms/Device"), "/dev/ttyUSB7");
    EXPECT_EQ(StoredText("Comms/Port"), "1") << "the numbered port is kept beside the device";
    EXPECT_EQ(StoredText("Orvo/Default Main"), "Block ");
    EXPECT_EQ(StoredText("Orvo/Max Empty Slots"), "7");
    EXPECT_EQ(StoredText("Orvo/Restore Points"), "12");
    EXPECT_EQ(StoredText("Orvo/Use Passwords"), "1");
    EXPECT_EQ(StoredText("Orvo/Show Duplicates Report"), "1");
    EXPECT_EQ(StoredText("Orvo/Administrator"), "0");
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 2.5);
    EXPECT_EQ(app.SessionDevice(), "/dev/ttyUSB7") << "the next session opens the new device";
    EXPECT_EQ(app.Doc()->System()->maxEmptySlots, 7);
    EXPECT_EQ(app.loginRuns, 0) << "passwords take effect at the next start";
}

} // namespace
