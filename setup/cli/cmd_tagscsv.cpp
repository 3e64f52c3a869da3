#include "commands.h"
#include "orvomodel/atomicfile.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/keytags.h"
#include "orvomodel/orvosystem.h"

#include <QFile>
#include <QSaveFile>

namespace {

const char* const kTagsUsage =
    "Usage: orvoctl tags export DOC.orvo -o TAGS.csv\n"
    "       orvoctl tags import DOC.orvo TAGS.csv -o OUT.orvo\n\n"
    "Key tags as CSV (UTF-8), one tag a line after the header\n"
    "  deck,slot,address,key,colour,number\n"
    "slot 1-24 and key 1-10 counted from 1, colour by name (Unassigned, Grey, Red,\n"
    "Green, Blue, Yellow, Clear Pink, Black, White, Clear Blue, Clear Red) or code\n"
    "(a whole number), number ten hexadecimal digits.\n\n"
    "export lists every valid key tag that is not empty, in deck, slot, key order.\n"
    "A stored number that is not ten hexadecimal digits in capitals is named and\n"
    "nothing is written (exit 1): the file would not import again.\n"
    "import sets exactly the (deck, slot, key) rows of the file, an empty number\n"
    "clearing that key, and leaves everything else alone. A file naming a deck the\n"
    "document lacks, a slot without an address, a deck without key tags or an\n"
    "invalid number is refused whole, naming the line: nothing is written (exit 1).\n"
    "After an import the duplicate check runs; its conflicts are printed and give\n"
    "exit status 1, the output being written all the same. The address column is\n"
    "for people reading the file; import does not use it.\n\n"
    "Options:\n"
    "  -o, --output FILE  the CSV file (export) or the document (import) to write\n";

int RunTagsExport(const QStringList& args)
{
    CDocumentCommand command(kTagsUsage);
    command.RequireOutput(QStringLiteral("CSV file to write."),
                          "orvoctl tags export: the output file is missing (-o TAGS.csv)\n");
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    std::string csv, error;
    if (!ExportKeyTagsCsv(command.System(), &csv, &error)) {
        PrintError("orvoctl: the key tags were not exported:\n" + error + "\n");
        return kExitFailed;
    }
    if (!WriteFileAtomically(command.OutputPath(), csv, &error)) {
        PrintError("orvoctl: " + error + "\n");
        return kExitFailed;
    }
    return kExitOk;
}

int RunTagsImport(const QStringList& args)
{
    QCommandLineParser parser;
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Document to write."), QStringLiteral("FILE"));
    parser.addOption(output);
    int status = kExitOk;
    if (!ParseCommandLine(parser, args, 2, kTagsUsage, &status))
        return status;
    if (parser.value(output).isEmpty()) {
        PrintError("orvoctl tags import: the output file is missing (-o OUT.orvo)\n");
        return kExitUsage;
    }
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    const QString csvPath = parser.positionalArguments().at(1);
    QFile csvFile(csvPath);
    if (!csvFile.open(QIODevice::ReadOnly)) {
        PrintError("orvoctl: " + csvPath.toStdString() + ": " + csvFile.errorString().toStdString() + "\n");
        return kExitUsage;
    }
    const QByteArray csv = csvFile.readAll();
    std::string error;
    int rows = 0;
    if (!ImportKeyTagsCsv(*system, std::string_view(csv.constData(), static_cast<size_t>(csv.size())), &error,
                          &rows)) {
        PrintError("orvoctl: " + csvPath.toStdString() + ": " + error + "\nNothing was written.\n");
        return kExitFailed;
    }
    SaveOutcome outcome;
    if (!system->Save(QFile::encodeName(parser.value(output)).toStdString(), 1, &outcome)) {
        PrintError("orvoctl: " + outcome.error + "\n");
        return kExitFailed;
    }
    PrintError("Imported " + std::to_string(rows) + " key tag row(s)\n");
    const std::vector<DuplicateConflict> conflicts = system->FindDuplicates();
    if (conflicts.empty())
        return kExitOk;
    std::string text;
    for (const DuplicateConflict& conflict : conflicts)
        text += conflict.ReportLine() + "\n";
    PrintOut(text);
    return kExitFailed;
}

} // namespace

int RunTagsCommand(const QStringList& args)
{
    const QString sub = args.value(1);
    if (sub == QLatin1String("export") || sub == QLatin1String("import")) {
        QStringList rest = args.mid(2);
        rest.prepend(args.value(0) + QLatin1Char(' ') + sub);
        return sub == QLatin1String("export") ? RunTagsExport(rest) : RunTagsImport(rest);
    }
    if (sub == QLatin1String("-h") || sub == QLatin1String("--help")) {
        PrintOut(kTagsUsage);
        return kExitOk;
    }
    PrintError("orvoctl tags: expected \"export\" or \"import\" (see --help)\n");
    return kExitUsage;
}
