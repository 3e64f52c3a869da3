// The reboot dialog ("Re-Boot System"): one button sends the restart to the
// whole installation, then waits five seconds before it may be pressed again.
#pragma once

#include <QDialog>

class COrvoSerialConnection;
class QPushButton;
class QTimer;

class CResetOrvoDlg : public QDialog {
    Q_OBJECT
public:
    // session: open, or null (the button then sends nothing).
    CResetOrvoDlg(QWidget* parent, COrvoSerialConnection* session);
    QTimer* RestoreTimer() const { return m_timer; }

public slots:
    void OnReboot();
    // The 5 s timer: the button may be pressed again.
    void OnTimer();

private:
    COrvoSerialConnection* m_session;
    QPushButton* m_reboot;
    QTimer* m_timer;
};
