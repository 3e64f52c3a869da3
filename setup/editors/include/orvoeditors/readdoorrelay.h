// The single door/relay read ("Read Door" / "Read Relay") and the reboot
// dialog ("Re-Boot System").
#pragma once

#include <QDialog>

class COrvoSerialConnection;
class COrvoSystem;
class QLineEdit;
class QPushButton;
class QTimer;

class CReadDoorRelay : public QDialog {
    Q_OBJECT
public:
    // nodeType: 2 finds a door panel, 5 a relay unit. system is not used.
    CReadDoorRelay(QWidget* parent, COrvoSerialConnection* session, COrvoSystem* system, int nodeType);

public slots:
    // Closes the small dialog, finds the device and opens its editor on line.
    void accept() override;

private:
    void FindDoorAndEdit(int n);
    void FindRelayAndEdit(int n);

    COrvoSerialConnection* m_session;
    int m_nodeType;
    QLineEdit* m_address;
};

class CResetOrvoDlg : public QDialog {
    Q_OBJECT
public:
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
