// File > Report...: the commissioning report previewed, saved as HTML or
// PDF, or printed. The page itself comes from the model's report generator.
#pragma once

#include <orvomodel/commissioningreport.h>

#include <QDialog>

#include <functional>
#include <string>

class QPushButton;
class QTextBrowser;

class CReportDlg : public QDialog {
    Q_OBJECT
public:
    CReportDlg(const COrvoSystem& system, const ReportHeading& heading, QWidget* parent = nullptr);

    const std::string& Html() const { return m_html; }
    // False with *error ("<path>: <reason>") when the file cannot be written;
    // a file already there is kept whole then.
    bool SaveHtml(const QString& path, QString* error) const;
    bool SavePdf(const QString& path, QString* error) const;

    // The file a save goes to, empty for none; the save dialog unless a test
    // answers instead.
    std::function<QString(const QString& caption, const QString& filter, const QString& suffix)> askFileName;

private:
    void OnSave(bool pdf);
    void OnPrint();

    std::string m_html;
    QTextBrowser* m_preview;
};
