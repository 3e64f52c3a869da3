#include "commands.h"
#include "orvomodel/atomicfile.h"
#include "orvomodel/commissioningreport.h"
#include "orvomodel/orvosystem.h"

int RunReportCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl report DOC.orvo -o REPORT.html [--date YYYY-MM-DD]\n\n"
        "Writes the commissioning report of the installation: one printable HTML\n"
        "page with every deck, its doors, relay units and flats, and the result of\n"
        "the duplicate check.\n\n"
        "Options:\n"
        "  -o, --output FILE  the HTML file to write (required)\n"
        "  --date DATE        the date the report carries (default: today)\n";
    CDocumentCommand command(usage);
    command.RequireOutput(QStringLiteral("HTML file to write."),
                          "orvoctl report: the output file is missing (-o REPORT.html)\n");
    const QCommandLineOption dateOption(QStringLiteral("date"), QStringLiteral("Date of the report."),
                                        QStringLiteral("YYYY-MM-DD"));
    command.Parser().addOption(dateOption);
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    ReportHeading heading{QDate::currentDate(), QStringLiteral(ORVOCTL_VERSION)};
    if (command.Parser().isSet(dateOption)) {
        heading.date = QDate::fromString(command.Parser().value(dateOption), Qt::ISODate);
        if (!heading.date.isValid()) {
            PrintError("orvoctl report: --date wants a date as YYYY-MM-DD, not \"" +
                       command.Parser().value(dateOption).toStdString() + "\"\n");
            return kExitUsage;
        }
    }
    std::string error;
    if (WriteFileAtomically(command.OutputPath(), CommissioningReportHtml(command.System(), heading), &error))
        return kExitOk;
    PrintError("orvoctl: " + error + "\n");
    return kExitFailed;
}
