#include "orvoshell/reportdlg.h"

#include <orvomodel/atomicfile.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix)
{
    QFileDialog dialog(parent, caption);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

CReportDlg::CReportDlg(const COrvoSystem& system, const ReportHeading& heading, QWidget* parent)
    : QDialog(parent), m_html(CommissioningReportHtml(system, heading))
{
    setWindowTitle(QStringLiteral("Commissioning Report"));
    m_preview = new QTextBrowser(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setOpenLinks(false);
    m_preview->setHtml(QString::fromStdString(m_html));

    auto* saveHtml = new QPushButton(QStringLiteral("Save as &HTML..."), this);
    saveHtml->setObjectName(QStringLiteral("saveHtml"));
    auto* savePdf = new QPushButton(QStringLiteral("Save as P&DF..."), this);
    savePdf->setObjectName(QStringLiteral("savePdf"));
    auto* print = new QPushButton(QStringLiteral("&Print..."), this);
    print->setObjectName(QStringLiteral("print"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(saveHtml, QDialogButtonBox::ActionRole);
    buttons->addButton(savePdf, QDialogButtonBox::ActionRole);
    buttons->addButton(print, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(saveHtml, &QPushButton::clicked, this, [this] { OnSave(false); });
    connect(savePdf, &QPushButton::clicked, this, [this] { OnSave(true); });
    connect(print, &QPushButton::clicked, this, &CReportDlg::OnPrint);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addWidget(buttons);
    resize(800, 900);

    askFileName = [this](const QString& caption, const QString& filter, const QString& suffix) {
        return AskSaveFileName(this, caption, filter, suffix);
    };
}

bool CReportDlg::SaveHtml(const QString& path, QString* error) const
{
    std::string reason;
    if (WriteFileAtomically(QFile::encodeName(path).toStdString(), m_html, &reason))
        return true;
    if (error)
        *error = QString::fromLocal8Bit(reason.c_str());
    return false;
}

bool CReportDlg::SavePdf(const QString& path, QString* error) const
{
    // Written through a save file too: a failed PDF leaves the old file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setTitle(windowTitle());
        writer.setCreator(QStringLiteral("OrvoSetup"));
        QTextDocument document;
        document.setHtml(QString::fromStdString(m_html));
        document.print(&writer);
    }
    if (!file.commit()) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

void CReportDlg::OnSave(bool pdf)
{
    const QString path =
        pdf ? askFileName(QStringLiteral("Save Report as PDF"), QStringLiteral("PDF Files (*.pdf)"),
                          QStringLiteral("pdf"))
            : askFileName(QStringLiteral("Save Report as HTML"), QStringLiteral("HTML Files (*.html *.htm)"),
                          QStringLiteral("html"));
    if (path.isEmpty())
        return;
    QString error;
    if (!(pdf ? SavePdf(path, &error) : SaveHtml(path, &error)))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The report was not saved.\n%1").arg(error));
}

void CReportDlg::OnPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_preview->document()->print(&printer);
}
