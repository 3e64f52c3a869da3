// The Monitor window under a flood: the unpaced simulator sends RATE frames a
// second for SECONDS while the window lists them on the GUI thread. Reports
// the frames sent and listed (none may be lost), the GUI thread's longest
// stall (the longest gap between two ticks of a 5 ms timer beyond its
// interval), the longest poll, and the memory each row of the list takes.
//
//   bench_monitor [SECONDS [RATE]]   (default 60 s at 2000 frames a second)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "orvologging/monitordlg.h"
#include "orvosim/simulator.h"
#include "wendrel/orvoserialconnection.h"

namespace {

// Resident set size in bytes.
long Resident()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    const double rate = argc > 2 ? std::atof(argv[2]) : 2000;
    QApplication app(argc, argv);

    orvosim::SimOptions options;
    options.keepSent = true;
    options.seed = 3;
    orvosim::Simulator sim(options);
    sim.loadDemo();
    std::string path, error;
    if (!sim.startPty(&path, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    COrvoSerialConnection session;
    if (!session.Open(nullptr, path))
        return 1;

    auto dialog = std::make_unique<CMonitorDlg>(&session);
    dialog->show();
    app.processEvents();
    const long residentBefore = Resident();

    // The GUI thread's responsiveness: how late a 5 ms timer fires.
    constexpr int kProbeMs = 5;
    QElapsedTimer sinceProbe;
    double longestStallMs = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (sinceProbe.isValid())
            longestStallMs = std::max(longestStallMs, sinceProbe.nsecsElapsed() / 1e6 - kProbeMs);
        sinceProbe.start();
    });
    probe.start(kProbeMs);

    // The same measure on a quiet line first: what the machine alone costs.
    QTimer::singleShot(2000, &app, &QCoreApplication::quit);
    app.exec();
    const double quietStallMs = longestStallMs;
    longestStallMs = 0;
    sinceProbe.invalidate();

    sim.setTrafficRate(rate);
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { sim.setTrafficRate(0); });
    // Then wait until the window has caught up with everything sent.
    QTimer finish;
    QObject::connect(&finish, &QTimer::timeout, [&] {
        if (clock.elapsed() < seconds * 1000 + 500)
            return;
        const size_t sent = sim.sentFrames().size();
        if (static_cast<size_t>(dialog->Model().rowCount()) >= sent ||
            clock.elapsed() > seconds * 1000 + 10000)
            app.quit();
    });
    finish.start(100);
    app.exec();
    probe.stop();

    const std::vector<std::string> sent = sim.sentFrames();
    const CMonitorLog& log = dialog->Model().Log();
    size_t lost = 0, same = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (i >= log.Size()) {
            ++lost;
            continue;
        }
        _orvo_msg msg = log.Entry(i).msg;
        char text[ORVO_MSG_MAX_TEXT + 2] = {};
        const int n = msgPack(text, &msg);
        same += sent[i] == std::string(text, static_cast<size_t>(n));
    }
    const long residentAfter = Resident();
    const double perRow = log.Size() ? static_cast<double>(residentAfter - residentBefore) / log.Size() : 0;
    std::printf("frames sent %zu in %.1f s (%.0f a second), listed %zu, in order and equal %zu, lost %zu\n",
                sent.size(), seconds, sent.size() / seconds, log.Size(), same, lost);
    std::printf("GUI thread: longest stall %.1f ms (%.1f ms on a quiet line), longest poll %.1f ms\n",
                longestStallMs, quietStallMs, dialog->LongestTickMs());
    std::printf("memory: %.0f bytes a row (resident growth over %zu rows; %zu bytes of record each)\n",
                perRow, log.Size(), CMonitorLog::BytesPerEntry());
    dialog.reset();
    session.Close();
    return lost == 0 && same == sent.size() ? 0 : 1;
}
