#include <QCommandLineParser>
#include <QFile>

#include <cjson/cJSON.h>

#include <cstdio>
#include <memory>

#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

void PrintOut(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void PrintError(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void PrintJson(const cJSON* json)
{
    char* text = cJSON_Print(json);
    PrintOut(std::string(text ? text : "") + "\n");
    cJSON_free(text);
}

bool ParseNumberOption(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high,
                       int* out)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool ReadInputFile(const QString& path, const std::string& name, QByteArray* text)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        PrintError(name + ": " + in.fileName().toStdString() + ": " + in.errorString().toStdString() + "\n");
        return false;
    }
    *text = in.readAll();
    return true;
}

bool ParseCommandLine(QCommandLineParser& parser, const QStringList& args, int positionals, const char* usage,
                      int* status)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    const std::string name = args.value(0).toStdString();
    if (!parser.parse(args)) {
        PrintError(name + ": " + parser.errorText().toStdString() + "\n");
        *status = kExitUsage;
        return false;
    }
    if (parser.isSet(help)) {
        PrintOut(usage);
        *status = kExitOk;
        return false;
    }
    if (parser.positionalArguments().size() != positionals) {
        PrintError(name + ": expected " + std::to_string(positionals) + " file argument" +
                   (positionals == 1 ? "" : "s") + ", got " +
                   std::to_string(parser.positionalArguments().size()) + " (see --help)\n");
        *status = kExitUsage;
        return false;
    }
    return true;
}

bool LoadDocument(const QString& path, COrvoSystem& system)
{
    LoadOutcome outcome;
    system.ClearAll();
    const std::string file = QFile::encodeName(path).toStdString();
    if (!system.Load(file, false, &outcome)) {
        PrintError("orvoctl: " + outcome.error + "\n");
        return false;
    }
    for (const std::string& note : outcome.outOfRange)
        PrintError("orvoctl: " + file + ": out of range: " + note + "\n");
    return true;
}

uint64_t PrintDuplicates(const COrvoSystem& system, bool toError)
{
    void (*print)(const std::string&) = toError ? PrintError : PrintOut;
    // Lines go out in batches as they are found; nothing keeps them all.
    std::string batch;
    uint64_t listed = 0;
    system.ForEachDuplicateWhile([&](const DuplicateConflict& conflict) {
        batch += ModelTextToUtf8(conflict.ReportLine()) + "\n";
        if (batch.size() > 16384) {
            print(batch);
            batch.clear();
        }
        return ++listed < kListedConflicts;
    });
    print(batch);
    if (listed < kListedConflicts)
        return listed;
    const uint64_t total = system.CountDuplicates();
    if (total > listed) {
        print("... and " + std::to_string(total - listed) + " more (" + std::to_string(total) +
              " conflicts in all)\n");
    }
    return total;
}

void CDocumentCommand::RequireOutput(const QString& description, const char* missingText)
{
    m_output.emplace(QStringList{QStringLiteral("o"), QStringLiteral("output")}, description,
                     QStringLiteral("FILE"));
    m_parser.addOption(*m_output);
    m_missingOutput = missingText;
}

bool CDocumentCommand::Open(const QStringList& args, int* status)
{
    *status = kExitOk;
    if (!ParseCommandLine(m_parser, args, 1, m_usage, status))
        return false;
    if (m_output && m_parser.value(*m_output).isEmpty()) {
        PrintError(m_missingOutput);
        *status = kExitUsage;
        return false;
    }
    m_system = std::make_unique<COrvoSystem>(&m_settings);
    if (!LoadDocument(m_parser.positionalArguments().at(0), *m_system)) {
        *status = kExitUsage;
        return false;
    }
    return true;
}

std::string CDocumentCommand::OutputPath() const
{
    return QFile::encodeName(m_parser.value(*m_output)).toStdString();
}
