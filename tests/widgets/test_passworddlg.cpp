#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "testenv.h"
#include "wendrel/messagebox.h"
#include "wendrel/passworddlg.h"
#include "wendrel/user.h"

namespace {

struct ShownBox {
    QString title, text;
    QMessageBox::Icon icon;
};

// Answers every library message box and remembers what was shown.
class ServicesLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        m_previous =
            SetWendrelMessageBoxHandler([this](QWidget*, const QString& title, const QString& text,
                                               QMessageBox::Icon icon, QMessageBox::StandardButtons) {
                m_boxes.push_back({title, text, icon});
                return QMessageBox::Ok;
            });
        m_users.AddTail(new CUser("Ann", "ABC", 1));
        m_users.AddTail(new CUser("Bob", "shared", 3));
        m_users.AddTail(new CUser("Cid", "shared", 0));
        m_users.AddTail(new CUser("Dee", "full", 0));
    }
    void TearDown() override { SetWendrelMessageBoxHandler(m_previous); }

    // Types text and presses OK; returns the dialog's result.
    int Login(const QString& text, int& level)
    {
        CPasswordDlg dlg(nullptr, &level, &m_users, "Orvo Setup");
        QTest::keyClicks(dlg.PasswordEdit(), text);
        if (dlg.OkButton()->isEnabled())
            dlg.OkButton()->click();
        return dlg.result();
    }

    CUserList m_users;
    std::vector<ShownBox> m_boxes;
    WendrelMessageBoxHandler m_previous;
};

TEST_F(ServicesLogin, MasterPasswordGivesFullAccessWhateverTheList)
{
    CUserList restrictedOnly;
    restrictedOnly.AddTail(new CUser("Ann", "ABC", 1));
    int level = 9;
    CPasswordDlg dlg(nullptr, &level, &restrictedOnly, "Orvo Setup");
    QTest::keyClicks(dlg.PasswordEdit(), "73519");
    dlg.OkButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(level, 0);

    level = 9;
    CPasswordDlg noList(nullptr, &level, nullptr, "Orvo Setup");
    QTest::keyClicks(noList.PasswordEdit(), "73519");
    noList.OkButton()->click();
    EXPECT_EQ(noList.result(), QDialog::Accepted);
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ServicesLogin, FirstUserWithThePasswordDecidesTheLevel)
{
    int level = -1;
    EXPECT_EQ(Login("shared", level), QDialog::Accepted);
    EXPECT_EQ(level, 3);
    EXPECT_EQ(Login("ABC", level), QDialog::Accepted);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(Login("full", level), QDialog::Accepted);
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ServicesLogin, WrongPasswordShowsTheMessageOnceAndCancels)
{
    for (const char* wrong : {"abc", "ABC ", "7351", "shared2", "735190", "73519 ", " 73519"}) {
        m_boxes.clear();
        int level = 7;
        EXPECT_EQ(Login(wrong, level), QDialog::Rejected) << wrong;
        EXPECT_EQ(level, 7) << wrong;
        ASSERT_EQ(m_boxes.size(), 1u) << wrong;
        EXPECT_EQ(m_boxes[0].text,
                  "The password you entered does not match any user registered to the system");
        EXPECT_EQ(m_boxes[0].title, "Setup");
        EXPECT_EQ(m_boxes[0].icon, QMessageBox::Critical);
    }
}

TEST_F(ServicesLogin, DefaultUserOfAFreshDatabaseGetsFullAccess)
{
    QDir(TestRoot() + "/data").removeRecursively();
    CUserList fresh;
    fresh.Load();
    int level = 5;
    CPasswordDlg dlg(nullptr, &level, &fresh, "Orvo Setup");
    QTest::keyClicks(dlg.PasswordEdit(), "60918");
    dlg.OkButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(level, 0);
}

TEST_F(ServicesLogin, OkFollowsTheFieldAndAnEmptyPasswordIsNeverChecked)
{
    int level = 4;
    CPasswordDlg dlg(nullptr, &level, &m_users, "Orvo Setup");
    EXPECT_EQ(dlg.windowTitle(), "Orvo Setup");
    EXPECT_TRUE(dlg.PasswordEdit()->text().isEmpty());
    EXPECT_EQ(dlg.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    QTest::keyClicks(dlg.PasswordEdit(), "x");
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    QTest::keyClick(dlg.PasswordEdit(), Qt::Key_Backspace);
    EXPECT_FALSE(dlg.OkButton()->isEnabled());

    // Return in the empty field must not reach the check.
    dlg.show();
    QTest::keyClick(dlg.PasswordEdit(), Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(level, 4);
}

TEST_F(ServicesLogin, CancelLeavesTheLevelAlone)
{
    int level = 6;
    CPasswordDlg dlg(nullptr, &level, &m_users, "Orvo Setup");
    dlg.show();
    QTest::keyClicks(dlg.PasswordEdit(), "ABC");
    dlg.findChild<QPushButton*>("cancel")->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(level, 6);
    EXPECT_TRUE(m_boxes.empty());
}

} // namespace
