#include "orvoadmin/admin.h"
#include "orvoeditors/editors.h"
#include "orvologging/logging.h"
#include "orvoshell/setupapp.h"
#include "orvotools/tools.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Setup"));
    QApplication::setOrganizationName(QStringLiteral("Quendral Orvo"));
    QApplication::setApplicationVersion(QStringLiteral(ORVOSETUP_VERSION_TEXT));
    // The drawings at fixed sizes stand in where Qt's SVG support is not installed.
    QIcon icon(QStringLiteral(":/orvosetup/orvosetup.svg"));
    icon.addFile(QStringLiteral(":/orvosetup/orvosetup-32.png"));
    icon.addFile(QStringLiteral(":/orvosetup/orvosetup-64.png"));
    QApplication::setWindowIcon(icon);
    QApplication::setDesktopFileName(QStringLiteral("orvosetup"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configuration tool for the Orvo door-entry system."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run against a built-in simulated installation (stored settings unchanged)."));
    parser.addOption(demo);
    parser.addPositionalArgument(QStringLiteral("document"), QStringLiteral("An .orvo document to open."),
                                 QStringLiteral("[document]"));
    parser.process(app);

    StartOptions options;
    options.demo = parser.isSet(demo);
    QTemporaryDir demoSettings;
    if (options.demo && !CSetupApp::KeepSettingsInMemory(demoSettings))
        return 1;
    if (!parser.positionalArguments().isEmpty())
        options.documentPath = parser.positionalArguments().constFirst();

    CSetupApp setup;
    RegisterEditors(setup.Registry());
    RegisterLogging(setup.Registry());
    RegisterTools(setup.Registry());
    RegisterAdmin(setup.Registry());
    if (!setup.InitInstance(options))
        return 1;
    return app.exec();
}
