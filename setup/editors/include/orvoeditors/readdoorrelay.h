// The single door/relay read ("Read Door" / "Read Relay").
#pragma once

#include <QDialog>

class COrvoSerialConnection;
class COrvoSystem;
class QLineEdit;

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
