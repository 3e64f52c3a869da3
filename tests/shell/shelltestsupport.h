// Shared fixtures of the shell tests: a settings store in a fresh temporary
// folder and a message sink that records every box and answers from a script.
#pragma once

#include "orvoshell/shellmessages.h"

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <gtest/gtest.h>

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
};

class ScriptedMessages : public IShellMessages {
public:
    std::vector<ShownBox> shown;
    std::deque<QMessageBox::StandardButton> answers; // taken in turn; empty = the first button offered
    QStringList opened;

    QMessageBox::StandardButton Show(QWidget*, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) override
    {
        shown.push_back({title, text, buttons, icon});
        if (!answers.empty()) {
            const auto answer = answers.front();
            answers.pop_front();
            return answer;
        }
        for (int bit = 0; bit < 32; ++bit) {
            const auto button = static_cast<QMessageBox::StandardButton>(1u << bit);
            if (buttons.testFlag(button) && (button == QMessageBox::Ok || button == QMessageBox::Yes))
                return button;
        }
        return QMessageBox::Cancel;
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

    QString StoredText(const QString& key)
    {
        QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
        return store.value(key).toString();
    }
    bool Stored(const QString& key)
    {
        QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
        return store.contains(key);
    }
    void Store(const QString& key, const QVariant& value)
    {
        QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
        store.setValue(key, value);
    }

    QTemporaryDir m_settingsDir;
    ScriptedMessages messages;
};
