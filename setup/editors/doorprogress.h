// The progress window of the door dialogs as the door-panel exchanges see it:
// the bar moves after each exchange and the interface stays alive meanwhile.
// A port that goes away is said in a message box over the dialog.
#pragma once

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
    RetryAnswer AskRetry(const std::string&, int) override { return RetryAnswer::No; }
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
