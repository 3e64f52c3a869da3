#include "orvoadmin/admin.h"
#include "orvoeditors/editors.h"
#include "orvologging/logging.h"
#include "orvoshell/setupapp.h"
#include "orvotools/tools.h"

#include <wendrel/settingsstore.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTemporaryDir>

#include <cstdio>
#include <string_view>

namespace {

void SetIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Setup"));
    QCoreApplication::setOrganizationName(CSettingsStore::Organization());
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVOSETUP_VERSION_TEXT));
}

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption demo{
        QStringLiteral("demo"),
        QStringLiteral("Run against a built-in simulated installation (stored settings unchanged).")};

    CommandLine()
    {
        parser.setApplicationDescription(
            QStringLiteral("Configuration tool for the Orvo door-entry system."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(demo);
        parser.addPositionalArgument(QStringLiteral("document"), QStringLiteral("An .orvo document to open."),
                                     QStringLiteral("[document]"));
    }
};

// --help and --version answer without a window, so they must work without
// a display too (over SSH, in a script).
bool AsksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

// Whether a window can be shown at all: a platform named outright, or a
// display for the usual ones. Without, QApplication would abort.
bool HasDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = !qgetenv("DISPLAY").isEmpty(), wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
    if (platform.startsWith("xcb"))
        return x11;
    if (platform.startsWith("wayland"))
        return wayland;
    return !platform.isEmpty() || x11 || wayland;
}

} // namespace

int main(int argc, char** argv)
{
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        SetIdentity();
        CommandLine line;
        line.parser.process(app); // prints and exits
        return 0;
    }
    if (!HasDisplay()) {
        std::fprintf(stderr, "orvosetup: no display to show the window on (DISPLAY is not set); "
                             "use orvoctl on the command line\n");
        return 1;
    }
    QApplication app(argc, argv);
    SetIdentity();
    // The drawings at fixed sizes stand in where Qt's SVG support is not installed.
    QIcon icon(QStringLiteral(":/orvosetup/orvosetup.svg"));
    icon.addFile(QStringLiteral(":/orvosetup/orvosetup-32.png"));
    icon.addFile(QStringLiteral(":/orvosetup/orvosetup-64.png"));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("orvosetup"));

    CommandLine line;
    line.parser.process(app);

    StartOptions options;
    options.demo = line.parser.isSet(line.demo);
    QTemporaryDir demoSettings;
    if (options.demo && !CSetupApp::KeepSettingsInMemory(demoSettings))
        return 1;
    if (!line.parser.positionalArguments().isEmpty())
        options.documentPath = line.parser.positionalArguments().constFirst();

    CSetupApp setup;
    CFeatureRegistry& features = setup.State().Registry();
    RegisterEditors(features);
    RegisterLogging(features);
    RegisterTools(features);
    RegisterAdmin(features);
    if (!setup.InitInstance(options))
        return 1;
    return app.exec();
}
