// orvoctl against the simulator with short reply time-outs. The command line
// takes only the installer's multipliers (1 to 20); a run that expects
// missing replies would wait seconds for each. The stored settings take a
// smaller one, so each test process keeps a settings folder holding it and
// points orvoctl there.
#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <memory>
#include <string>

// "XDG_CONFIG_HOME='...'": an environment assignment to put before the
// command, whose stored "Comms" "Timeout" is mult.
inline std::string ShortTimeoutsEnvironment(const std::string& mult = "0.05")
{
    static std::map<std::string, std::unique_ptr<QTemporaryDir>> folders;
    std::unique_ptr<QTemporaryDir>& folder = folders[mult];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>();
        QDir(folder->path()).mkpath(QStringLiteral("Quendral Orvo"));
        std::ofstream(folder->filePath(QStringLiteral("Quendral Orvo/Setup.conf")).toStdString())
            << "[Comms]\nTimeout=" << mult << "\n";
    }
    return "XDG_CONFIG_HOME='" + folder->path().toStdString() + "'";
}
