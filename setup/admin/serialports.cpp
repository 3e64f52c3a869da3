#include "orvoadmin/serialports.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

class SystemSerialPorts : public ISerialPortList {
public:
    QList<SerialPortFacts> Ports() const override
    {
        QList<SerialPortFacts> ports;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            ports.append({info.systemLocation(), info.description(), info.serialNumber(),
                          StableNamesOf(info.systemLocation())});
        return ports;
    }
};

SystemSerialPorts g_systemPorts;
ISerialPortList* g_ports = &g_systemPorts;

// The links in dir whose names match filter and that lead to target.
QStringList LinksTo(const QString& target, const QString& dir, const QString& filter)
{
    QStringList found;
    const QFileInfoList entries =
        QDir(dir).entryInfoList({filter}, QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (entry.isSymLink() && entry.canonicalFilePath() == target)
            found << entry.absoluteFilePath();
    return found;
}

} // namespace

ISerialPortList& SerialPortList()
{
    return *g_ports;
}

void SetSerialPortList(ISerialPortList* list)
{
    g_ports = list ? list : &g_systemPorts;
}

QStringList StableNamesOf(const QString& device, const QString& devDir)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    return LinksTo(target, devDir, QStringLiteral("orvo-*")) +
           LinksTo(target, devDir + QStringLiteral("/serial/by-id"), QStringLiteral("*"));
}
