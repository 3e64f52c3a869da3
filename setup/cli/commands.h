// The commands of orvoctl. Each receives its own arguments, the first one
// being the program and command name ("orvoctl show"), and returns the exit
// status: 0 done, 1 the command ran and found a problem or failed to write,
// 2 unusable arguments or input.
#pragma once

#include <QStringList>

#include <string>

class COrvoSystem;

int RunShowCommand(const QStringList& args);
int RunCheckCommand(const QStringList& args);
int RunExportCommand(const QStringList& args);
int RunConvertCommand(const QStringList& args);
int RunReadCommand(const QStringList& args);
int RunWriteCommand(const QStringList& args);

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Helpers shared by the commands.
class QCommandLineParser;

// Parses args; on a parse error or a wrong number of positional arguments
// prints the reason and returns false with *status = 2. --help prints the
// usage text and returns false with *status = 0.
bool ParseCommandLine(QCommandLineParser& parser, const QStringList& args, int positionals, const char* usage,
                      int* status);
// Loads a document; prints "orvoctl: <path>: <reason>" and returns false
// when the file cannot be read.
bool LoadDocument(const QString& path, COrvoSystem& system);
void PrintOut(const std::string& text);
void PrintError(const std::string& text);
