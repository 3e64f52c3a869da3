// The commands of orvoctl. Each receives its own arguments, the first one
// being the program and command name ("orvoctl show"), and returns the exit
// status: 0 done, 1 the command ran and found a problem or failed to write,
// 2 unusable arguments or input.
#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

struct cJSON;

int RunShowCommand(const QStringList& args);
int RunCheckCommand(const QStringList& args);
int RunExportCommand(const QStringList& args);
int RunConvertCommand(const QStringList& args);
int RunReadCommand(const QStringList& args);
int RunWriteCommand(const QStringList& args);
int RunRelayCommand(const QStringList& args);
int RunDoorCommand(const QStringList& args);
int RunRebootCommand(const QStringList& args);
int RunLogCommand(const QStringList& args);
int RunClockCommand(const QStringList& args);
int RunTagCommand(const QStringList& args);
int RunTagsCommand(const QStringList& args);
int RunTagsCommand(const QStringList& args);
int RunDiffCommand(const QStringList& args);
int RunVerifyCommand(const QStringList& args);
int RunMonitorCommand(const QStringList& args);
int RunSendCommand(const QStringList& args);
int RunEmcCommand(const QStringList& args);
int RunKx7Command(const QStringList& args);
int RunLogMemCommand(const QStringList& args);
int RunReportCommand(const QStringList& args);
int RunRestorePointsCommand(const QStringList& args);

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Helpers shared by the commands.
// Parses args; on a parse error or a wrong number of positional arguments
// prints the reason and returns false with *status = 2. --help prints the
// usage text and returns false with *status = 0.
bool ParseCommandLine(QCommandLineParser& parser, const QStringList& args, int positionals, const char* usage,
                      int* status);
// Loads a document; prints "orvoctl: <path>: <reason>" and returns false
// when the file cannot be read.
bool LoadDocument(const QString& path, COrvoSystem& system);
void PrintOut(const std::string& text);
// Prints the duplicate report lines as they are found (to stdout, or stderr
// when toError), the first kListedConflicts of them, then
// "... and N more (T conflicts in all)". Returns T, 0 when there are none.
inline constexpr uint64_t kListedConflicts = 1000;
uint64_t PrintDuplicates(const COrvoSystem& system, bool toError);
void PrintError(const std::string& text);
// Prints the object indented, with a final newline.
void PrintJson(const cJSON* json);
// The option's value as a whole number low-high; false when it is missing
// or is none.
bool ParseNumberOption(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high,
                       int* out);
// Reads a command's input file whole; prints "<name>: <path>: <reason>"
// and returns false when it cannot be read.
bool ReadInputFile(const QString& path, const std::string& name, QByteArray* text);

// A command working on one document given as its only file argument, loaded
// with in-memory settings so that orvoctl never reads or changes the user's.
class CDocumentCommand {
public:
    explicit CDocumentCommand(const char* usage) : m_usage(usage) {}

    // Adds the required "-o, --output FILE"; missingText is printed when it is absent.
    void RequireOutput(const QString& description, const char* missingText);
    // Parses args, checks the output option, then loads the document. False
    // with *status set (as ParseCommandLine and LoadDocument do) when the
    // command cannot go on.
    bool Open(const QStringList& args, int* status);

    COrvoSystem& System() { return *m_system; }
    // For a command's own options, added before Open.
    QCommandLineParser& Parser() { return m_parser; }
    // The output file as a local path (only after Open with RequireOutput).
    std::string OutputPath() const;

private:
    const char* m_usage;
    QCommandLineParser m_parser;
    std::optional<QCommandLineOption> m_output;
    const char* m_missingOutput = nullptr;
    CMemorySettings m_settings;
    std::unique_ptr<COrvoSystem> m_system;
};
