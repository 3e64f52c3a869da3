#include "orvoeditors/keytagsfile.h"

#include "orvomodel/atomicfile.h"
#include "orvomodel/keytags.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace {

KeyTagsFileChooser& Chooser()
{
    static KeyTagsFileChooser chooser;
    return chooser;
}

QString ChooseFile(QWidget* parent, bool save)
{
    if (Chooser())
        return Chooser()(parent, save);
    const QString filter = QStringLiteral("Key Tag Files (*.csv);;All Files (*)");
    return save ? QFileDialog::getSaveFileName(parent, QStringLiteral("Export Key Tags"), QString(), filter)
                : QFileDialog::getOpenFileName(parent, QStringLiteral("Import Key Tags"), QString(), filter);
}

void Warn(QWidget* parent, const QString& text)
{
    ShellMessage(parent, text, QMessageBox::Ok, QMessageBox::Warning);
}

} // namespace

void SetKeyTagsFileChooser(KeyTagsFileChooser chooser)
{
    Chooser() = std::move(chooser);
}

bool ExportKeyTags(QWidget* parent, const COrvoSystem& system)
{
    std::string csv, error;
    if (!ExportKeyTagsCsv(system, &csv, &error)) {
        Warn(parent,
             QStringLiteral("The key tags were not exported:\n%1").arg(QString::fromStdString(error)));
        return false;
    }
    QString path = ChooseFile(parent, true);
    if (path.isEmpty())
        return false;
    // A name typed without a suffix gets the file type's.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (WriteFileAtomically(QFile::encodeName(path).toStdString(), csv, &error))
        return true;
    Warn(parent,
         QStringLiteral("The key tags could not be written:\n%1").arg(QString::fromLocal8Bit(error.c_str())));
    return false;
}

bool ImportKeyTags(QWidget* parent, COrvoSystem& system)
{
    const QString path = ChooseFile(parent, false);
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Warn(parent, QStringLiteral("%1 could not be read:\n%2")
                         .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const QByteArray csv = file.readAll();
    std::string error;
    int rows = 0;
    if (!ImportKeyTagsCsv(system, std::string_view(csv.constData(), static_cast<size_t>(csv.size())), &error,
                          &rows)) {
        Warn(parent, QStringLiteral("No key tags were imported from %1:\n%2")
                         .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
        return false;
    }
    const std::vector<DuplicateConflict> conflicts = system.FindDuplicates();
    if (conflicts.empty()) {
        ShellMessage(parent, QStringLiteral("Imported %1 key tag row(s).").arg(rows), QMessageBox::Ok,
                     QMessageBox::Information);
        return true;
    }
    QString text =
        QStringLiteral("Imported %1 key tag row(s). The installation now has duplicates:\n").arg(rows);
    const size_t shown = std::min<size_t>(conflicts.size(), 10);
    for (size_t i = 0; i < shown; ++i)
        text += QString::fromStdString(conflicts[i].ReportLine()) + QLatin1Char('\n');
    if (conflicts.size() > shown)
        text += QStringLiteral("... and %1 more (Check for Duplicates lists them all)")
                    .arg(conflicts.size() - shown);
    Warn(parent, text);
    return true;
}
