// The progress window of the device editors (door, relay) as a core exchange
// sees it: the bar moves after each step and the window is pumped meanwhile,
// so the interface stays alive between exchanges; a text posted is shown in
// the window. A request without a reply is put to the installer as the read
// of the installation puts it ("Retry ?": Yes sends it again, No and Cancel
// go on). A port that goes away is said in a message box over the owner.
#pragma once

#include <QString>

#include "orvoprocedures/procedure.h"
#include "wendrel/progresswnd.h"

class QWidget;

class CProgressHost : public IProcedureHost {
public:
    CProgressHost(QWidget* owner, const QString& title);

    void SetRange(int lower, int upper) override;
    void SetPos(int pos) override;
    void SetText(const std::string& text) override;
    RetryAnswer AskRetry(const std::string& text, int attempt) override;
    void ShowSummary(const std::string&, const std::string&, bool) override {}
    void ConnectionLost(const std::string& text) override;

private:
    QWidget* m_owner;
    CProgressWnd m_wnd;
};
