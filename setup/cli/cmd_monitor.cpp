// orvoctl monitor: the bus monitor on the command line. One tab-separated row
// per frame, as the Monitor window lists it, until Ctrl-C or the duration;
// optionally the window's text export at the end and a recording of the raw
// bytes for orvo-sim --replay.
#include <QCommandLineParser>

#include <chrono>
#include <thread>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/busmonitor.h"

namespace {

// clang-format off
const char* const kMonitorUsage =
    "Usage: orvoctl monitor (--device PATH | --demo) [options]\n\n"
    "Lists the frames on the bus, one tab-separated row each (time, source,\n"
    "destination, message, parameter count, parameters), until Ctrl-C or the\n"
    "duration. Exit status 0 done, 1 the export or recording could not be\n"
    "written, 2 unusable arguments, 3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --housekeeping       hide routine frames (MSG_ENQ, MSG_ACK, concierge modes)\n"
    "  --duration S         stop after S seconds\n"
    "  -o, --output FILE    write the text export of every row listed at the end\n"
    "  --record FILE        record the raw bytes with their times (orvo-sim --replay)\n"
    "  --traffic RATE       with --demo: frames a second between the simulated\n"
    "                       devices (default 5)\n";
// clang-format on

constexpr auto kTick = std::chrono::milliseconds(100);

} // namespace

int RunMonitorCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions busOptions;
    busOptions.AddTo(parser);
    const QCommandLineOption houseKeeping(QStringLiteral("housekeeping"),
                                          QStringLiteral("Hide routine frames."));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("Stop after S seconds."),
                                      QStringLiteral("S"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Text export written at the end."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Recording of the raw bytes."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption traffic(QStringLiteral("traffic"),
                                     QStringLiteral("With --demo: frames a second between the devices."),
                                     QStringLiteral("RATE"), QStringLiteral("5"));
    parser.addOptions({houseKeeping, duration, output, record, traffic});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, busOptions, args, 0, kMonitorUsage, &status))
        return status;
    double seconds = -1;
    if (parser.isSet(duration)) {
        bool ok = false;
        seconds = parser.value(duration).toDouble(&ok);
        if (!ok || seconds < 0) {
            bus.Usage("--duration wants a number of seconds");
            return kExitUsage;
        }
    }
    bool rateOk = false;
    const double rate = parser.value(traffic).toDouble(&rateOk);
    if (!rateOk || rate < 0 || rate > 10000) {
        bus.Usage("--traffic wants frames a second from 0 to 10000");
        return kExitUsage;
    }
    if (parser.isSet(traffic) && !bus.Demo()) {
        bus.Usage("--traffic only applies to --demo");
        return kExitUsage;
    }
    const std::string exportPath = parser.value(output).toStdString();
    if (parser.isSet(output) && exportPath.empty()) {
        bus.Usage("-o wants a file name");
        return kExitUsage;
    }

    if (!bus.Open())
        return kExitNoPort;
    bus.SetDemoTraffic(rate);

    CBusMonitor monitor(bus.Link());
    monitor.SetHouseKeeping(parser.isSet(houseKeeping));
    std::string error;
    if (parser.isSet(record) && !monitor.Recorder().Start(parser.value(record).toStdString(), &error)) {
        PrintError(bus.Name() + ": cannot record: " + error + "\n");
        bus.Close();
        return kExitFailed;
    }

    CInterruptGuard interrupt;
    CMonitorLog log;
    const bool keepRows = !exportPath.empty();
    const auto start = std::chrono::steady_clock::now();
    const auto end = seconds < 0 ? std::chrono::steady_clock::time_point::max()
                                 : start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(seconds));
    bool lost = false;
    auto next = start;
    std::string rows;
    while (!CancelFlag().load()) {
        rows.clear();
        const int listed = monitor.Poll([&](const MonitorEntry& entry) {
            for (int c = ColTime; c <= ColParameters; ++c) {
                if (c != ColTime)
                    rows += '\t';
                rows += MonitorColumnText(entry, c);
            }
            rows += '\n';
            if (keepRows)
                log.Append(entry);
        });
        if (!rows.empty())
            PrintOut(rows);
        if (listed < 0) {
            lost = true;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            break;
        next = std::max(next + kTick, now);
        while (!CancelFlag().load() && std::chrono::steady_clock::now() < std::min(next, end))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bus.Close();

    int result = kExitOk;
    if (!monitor.Recorder().Stop(&error)) {
        PrintError(bus.Name() + ": " + error + "\n");
        result = kExitFailed;
    }
    if (keepRows) {
        if (WriteMonitorExport(exportPath, log, &error)) {
            if (!bus.Quiet())
                PrintError("File <" + exportPath + "> written OK\n");
        } else {
            PrintError("Error opening file <" + exportPath + ">\norvoctl: " + error + "\n");
            result = kExitFailed;
        }
    }
    if (lost) {
        PrintError(bus.Name() + ": the connection to the installation was lost\n");
        return kExitLost;
    }
    return result;
}
