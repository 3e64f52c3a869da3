// The progress window of the door dialogs as the door-panel exchanges see it:
// the bar moves after each exchange and the interface stays alive meanwhile.
// A write the panel does not acknowledge is put to the installer as the read
// of the installation puts a silent door ("Retry ?": Yes sends it again, No
// and Cancel go on). A port that goes away is said in a message box over the
// dialog.
#pragma once

#include <QStringList>

#include <functional>
#include <vector>

#include "orvoeditors/doordlg.h"
#include "orvoprocedures/doorpanel.h"
#include "orvoprocedures/procedure.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/progresswnd.h"

class CDoorProgress : public IProcedureHost {
public:
    CDoorProgress(QWidget* owner, const QString& title) : m_owner(owner), m_wnd(owner, title) {}
    void SetRange(int lower, int upper) override { m_wnd.SetRange(lower, upper); }
    void SetPos(int pos) override
    {
        m_wnd.SetPos(pos);
        m_wnd.PeekAndPump();
    }
    void SetText(const std::string&) override {}
    RetryAnswer AskRetry(const std::string& text, int) override
    {
        switch (ShellMessage(m_owner, QString::fromLatin1(text),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Critical,
                             QString())) {
        case QMessageBox::Yes:
            return RetryAnswer::Yes;
        case QMessageBox::No:
            return RetryAnswer::No;
        default:
            return RetryAnswer::Cancel;
        }
    }
    void ShowSummary(const std::string&, const std::string&, bool) override {}
    void ConnectionLost(const std::string& text) override
    {
        ShellMessage(m_owner, QString::fromLatin1(text), QMessageBox::Ok, QMessageBox::Critical,
                     QStringLiteral("Error"));
    }

private:
    QWidget* m_owner;
    CProgressWnd m_wnd;
};

// Runs write against the door behind a progress window titled title; true
// when the panel took every setting. Otherwise the installer has been told,
// once the progress window has gone: the port went away (by the progress
// host) or these settings were not taken. The dialog then stays open and
// stores nothing, so the model keeps what it held.
inline bool WritePanel(QWidget* dialog, const DoorTarget& target, int version, const QString& title,
                       const std::function<void(CDoorPanel&)>& write)
{
    bool lost = false;
    std::vector<DoorWriteFailure> notTaken;
    {
        CDoorProgress progress(dialog->parentWidget(), title);
        CDoorPanel panel(target.session, target.DeckNumber(), target.DoorNumber(), version, &progress);
        write(panel);
        lost = panel.Lost();
        notTaken = panel.NotTaken();
    }
    if (lost)
        return false;
    if (notTaken.empty())
        return true;
    QStringList settings;
    for (const DoorWriteFailure& failure : notTaken)
        settings << QString::fromLatin1(failure.setting);
    ShellMessage(dialog,
                 QStringLiteral("Door %1 on deck %2 did not take:\n%3\n\n"
                                "Nothing was stored in the model. OK sends the settings again; Cancel closes "
                                "the editor.")
                     .arg(target.DoorNumber())
                     .arg(target.DeckNumber())
                     .arg(settings.join(QLatin1Char('\n'))),
                 QMessageBox::Ok, QMessageBox::Critical, QStringLiteral("Error"));
    return false;
}
