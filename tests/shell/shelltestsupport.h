// Shared fixtures of the shell tests: a settings store in a fresh temporary
// folder and a message sink that records every box and answers from a script.
#pragma once

#include "orvoshell/shellmessages.h"

#include <wendrel/settingsstore.h>

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class ScriptedMessages : public IShellMessages {
public:
    std::vector<ShownBox> shown;
    std::deque<QMessageBox::StandardButton> answers; // taken in turn; empty = the first button offered
    QStringList opened;
    // Given when no scripted answer is left and the box offers it.
    QMessageBox::StandardButton preferred = QMessageBox::NoButton;

    QMessageBox::StandardButton Show(QWidget*, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) override
    {
        shown.push_back({title, text, buttons, icon});
        if (!answers.empty()) {
            const auto answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (preferred != QMessageBox::NoButton && buttons.testFlag(preferred))
            return preferred;
        // Unscripted, the question about unsaved changes is answered No: Yes
        // would open the real save dialog in the middle of a test.
        if (text.startsWith(QStringLiteral("Save changes to ")) && buttons.testFlag(QMessageBox::No))
            return QMessageBox::No;
        for (int bit = 0; bit < 32; ++bit) {
            const auto button = static_cast<QMessageBox::StandardButton>(1u << bit);
            if (buttons.testFlag(button) && (button == QMessageBox::Ok || button == QMessageBox::Yes))
                return button;
        }
        return QMessageBox::Cancel;
    }
    QMessageBox::StandardButton ShowWithDefault(QWidget* owner, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                                QMessageBox::StandardButton defaultButton) override
    {
        const auto answer = Show(owner, title, text, buttons, icon);
        shown.back().defaultButton = defaultButton;
        return answer;
    }
    bool OpenFile(const QString& path) override
    {
        opened << path;
        return true;
    }
};

// Points the per-user store at a temporary folder and installs the scripted sink.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_settingsDir.isValid());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        SetShellMessages(&messages);
    }
    void TearDown() override { SetShellMessages(nullptr); }

    QString StoredText(const QString& key) { return CSettingsStore::Open()->value(key).toString(); }
    bool Stored(const QString& key) { return CSettingsStore::Open()->contains(key); }
    void Store(const QString& key, const QVariant& value) { CSettingsStore::Open()->setValue(key, value); }

    QTemporaryDir m_settingsDir;
    ScriptedMessages messages;
};

#include "orvoshell/featuredialogs.h"
#include "orvoshell/setupapp.h"

#include <memory>
#include <vector>

// Stands in for the dialogs of the other parts: records every call and what
// the shell handed over, and answers with a chosen result.
class RecordingFeatures : public IFeatureDialogs {
public:
    struct Call {
        int id;
        FeatureContext context;
        bool sessionOpen;
    };
    std::vector<Call> calls;
    int result = 1;
    std::function<void(int, FeatureContext&)> action; // runs inside the dialog

    bool Has(int) const override { return true; }
    int Run(int id, FeatureContext& context) override
    {
        calls.push_back({id, context, context.session != nullptr});
        if (action)
            action(id, context);
        return result;
    }
};

// The application with the login answered by the test.
class TestApp : public CSetupApp {
public:
    int loginLevel = 0;
    bool loginAccepted = true;
    int loginRuns = 0;
    bool realLogin = false; // run the real password dialog
    bool RunLogin() override
    {
        ++loginRuns;
        if (realLogin)
            return CSetupApp::RunLogin();
        if (loginAccepted)
            State().SetAccessLevel(loginLevel);
        return loginAccepted;
    }
};

// Points the application's sessions at a device, as Options would.
inline void UseDevice(CSetupApp& app, const std::string& device)
{
    SetupSettings settings = app.State().Settings();
    settings.device = device;
    app.State().ApplySettings(settings, kCommsPart);
}

// A window title as the desktop shows it: the "[*]" mark becomes "*" while
// the window holds unsaved changes and disappears otherwise.
inline QString ShownTitle(const QWidget* window)
{
    QString title = window->windowTitle();
    return title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
}

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
