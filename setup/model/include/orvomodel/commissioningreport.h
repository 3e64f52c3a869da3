// The commissioning report: what was set up, as one printable HTML page the
// installer hands to the building owner. The page stands alone (styles
// inline, no scripts, no links to anything outside it) and is UTF-8; every
// text of the installation is escaped.
#pragma once

#include <QDate>
#include <QString>

#include <string>

class COrvoSystem;

struct ReportHeading {
    QDate date;             // the day the report is made
    QString programVersion; // "1.4.0"
};

// Longest list of conflicts the report shows; the rest are counted.
inline constexpr int kReportedConflicts = 1000;
inline constexpr const char* kNoConflictsText = "No conflicts";
inline constexpr const char* kIncompleteReadText = "Read incomplete";

// The report of every deck in use, as UTF-8 HTML.
std::string CommissioningReportHtml(const COrvoSystem& system, const ReportHeading& heading);
