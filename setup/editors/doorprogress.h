// The progress window of the door dialogs as the door-panel exchanges see it:
// the bar moves after each exchange and the interface stays alive meanwhile.
#pragma once

#include "orvoprocedures/procedure.h"
#include "wendrel/progresswnd.h"

class CDoorProgress : public IProcedureHost {
public:
    CDoorProgress(QWidget* owner, const QString& title) : m_wnd(owner, title) {}
    void SetRange(int lower, int upper) override { m_wnd.SetRange(lower, upper); }
    void SetPos(int pos) override
    {
        m_wnd.SetPos(pos);
        m_wnd.PeekAndPump();
    }
    void SetText(const std::string&) override {}
    RetryAnswer AskRetry(const std::string&, int) override { return RetryAnswer::No; }
    void ShowSummary(const std::string&, const std::string&, bool) override {}

private:
    CProgressWnd m_wnd;
};
