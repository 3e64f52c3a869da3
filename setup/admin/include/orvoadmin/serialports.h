// The serial ports the system reports, for the Options dialog's port list.
//
// A port comes with the stable names udev gives it: /dev/orvo-<serial> from
// the package's rule for Orvo adapters, /dev/serial/by-id/... for every USB
// serial adapter. A stable name outlives replugging, where the ttyUSB number
// may change, so it is the name to store. The list sits behind a small
// interface so that tests can plug and unplug adapters.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct SerialPortFacts {
    QString device; // the kernel's name, e.g. /dev/ttyUSB0
    QString description;
    QString serialNumber;
    QStringList stableNames; // /dev/orvo-* first, then /dev/serial/by-id/*

    bool operator==(const SerialPortFacts&) const = default;
};

class ISerialPortList {
public:
    virtual ~ISerialPortList() = default;
    // The ports present now.
    virtual QList<SerialPortFacts> Ports() const = 0;
};

// The list the Options dialog uses; nullptr puts the system's back.
ISerialPortList& SerialPortList();
void SetSerialPortList(ISerialPortList* list);

// The symbolic links under devDir that are stable names of device (links
// followed, relative ones too): devDir/orvo-* first, then
// devDir/serial/by-id/*, each group in name order.
QStringList StableNamesOf(const QString& device, const QString& devDir = QStringLiteral("/dev"));
