// The single door/relay read ("Read Door" / "Read Relay"): the installer
// gives an address, the device is looked for on the bus, and its editor opens
// on line over a deck made up for it. The door half is in readdoorrelay.cpp,
// the relay half in readrelay.cpp.
#pragma once

#include <QDialog>

#include "wendrel/orvomsg.h"

class COrvoSerialConnection;
class COrvoSystem;
class IFeatureDialogs;
class QLineEdit;

class CReadDoorRelay : public QDialog {
    Q_OBJECT
public:
    // nodeType: NODE_DOOR finds a door panel, NODE_RELAY a relay unit.
    // system is not used.
    CReadDoorRelay(QWidget* parent, COrvoSerialConnection* session, COrvoSystem* system, NodeType nodeType);

    // features: where the relay editor (ID_EDIT_RELAY) is found; without it
    // a relay found opens nothing. administrator: the door editor lets the
    // serial number be edited.
    void SetFeatures(IFeatureDialogs* features, bool administrator);

public slots:
    // Closes the small dialog, finds the device and opens its editor on line.
    void accept() override;

private:
    void FindDoorAndEdit(int n);
    void FindRelayAndEdit(int n);

    COrvoSerialConnection* m_session;
    NodeType m_nodeType;
    IFeatureDialogs* m_features = nullptr;
    bool m_administrator = false;
    QLineEdit* m_address;
};
