#include "orvoshell/setupdoc.h"

#include "orvoshell/shellmessages.h"

#include <orvomodel/orvosystem.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

namespace {

const QString kOrvoFilter = QStringLiteral("Orvo Files (*.orvo)");
const QString kJsonFilter = QStringLiteral("JSON Files (*.json)");
const QString kAllFilter = QStringLiteral("All Files (*)");

} // namespace

bool CQtDocFileDialogs::ChooseOpen(QWidget* parent, const QString& initialPath, bool* merge, QString* path)
{
    QFileDialog dialog(parent, QStringLiteral("Open"), initialPath);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({kOrvoFilter, kAllFilter});

    // The non-native dialog lays itself out on a grid; the box goes under it.
    auto* mergeBox = new QCheckBox(QStringLiteral("Merge with existing tree"), &dialog);
    mergeBox->setChecked(*merge);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(mergeBox, grid->rowCount(), 0, 1, grid->columnCount());

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *merge = mergeBox->isChecked();
    *path = dialog.selectedFiles().constFirst();
    return true;
}

bool CQtDocFileDialogs::ChooseSave(QWidget* parent, const QString& initialPath, int* filterIndex,
                                   QString* path)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kOrvoFilter, kJsonFilter});
    dialog.setDefaultSuffix(QStringLiteral("orvo"));
    const bool json = *filterIndex == 2;
    dialog.selectNameFilter(json ? kJsonFilter : kOrvoFilter);
    if (json)
        dialog.setDefaultSuffix(QStringLiteral("json"));
    if (!initialPath.isEmpty())
        dialog.selectFile(initialPath);
    // A typed name without extension takes the extension of the chosen type.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter == kJsonFilter ? QStringLiteral("json") : QStringLiteral("orvo"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *filterIndex = dialog.selectedNameFilter() == kJsonFilter ? 2 : 1;
    *path = dialog.selectedFiles().constFirst();
    return true;
}

CSetupDoc::CSetupDoc(IOrvoSettings* settings, QObject* parent)
    : QObject(parent), m_system(std::make_unique<COrvoSystem>(settings))
{
}

CSetupDoc::~CSetupDoc() = default;

CSetupDoc::FileDialogMemory& CSetupDoc::DialogMemory()
{
    static FileDialogMemory memory;
    return memory;
}

IDocFileDialogs& CSetupDoc::Dialogs()
{
    static CQtDocFileDialogs realDialogs;
    return m_dialogs ? *m_dialogs : realDialogs;
}

void CSetupDoc::SetPathName(const QString& path)
{
    m_pathName = path;
    m_title = path.isEmpty() ? NewTitle() : QFileInfo(path).fileName();
    emit titleChanged(m_title);
}

bool CSetupDoc::OnNewDocument()
{
    m_system->Clear();
    SetPathName(QString());
    emit viewsNeedRebuild();
    return true;
}

bool CSetupDoc::OnOpenDocument(const QString& path)
{
    m_system->Clear();
    // A missing or unreadable document opens as an empty installation.
    m_system->Load(path.toStdString(), false);
    emit viewsNeedRebuild();
    SetPathName(path);
    emit documentOpened(path);
    return true;
}

void CSetupDoc::OnFileOpen(QWidget* parent)
{
    FileDialogMemory& memory = DialogMemory();
    bool merge = memory.lastMerge;
    QString path;
    if (!Dialogs().ChooseOpen(parent, memory.lastPath, &merge, &path))
        return;
    memory.lastMerge = merge;
    memory.lastPath = path;
    if (!merge)
        m_system->Clear();
    m_system->Load(path.toStdString(), merge);
    emit viewsNeedRebuild();
}

bool CSetupDoc::OnFileSave(QWidget* parent)
{
    FileDialogMemory& memory = DialogMemory();
    int filterIndex = memory.lastFilterIndex;
    QString path;
    if (!Dialogs().ChooseSave(parent, memory.lastPath, &filterIndex, &path))
        return false;
    memory.lastPath = path;
    memory.lastFilterIndex = filterIndex;

    // The extension decides the form, compared with case as it always was.
    const int form = QFileInfo(path).suffix() == QStringLiteral("orvo") ? 1 : 2;
    SaveOutcome outcome;
    if (m_system->Save(path.toStdString(), form, &outcome))
        return true;
    if (outcome.exportFailed) {
        ShellMessage(parent, QString::fromLatin1(kJsonFailureText), QMessageBox::Ok, QMessageBox::NoIcon,
                     QString::fromLatin1(kJsonFailureTitle));
    } else {
        // The previous file is kept; say so rather than let a lost save pass unseen.
        QString reason = QString::fromStdString(outcome.error);
        if (reason.isEmpty())
            reason = path;
        ShellMessage(
            parent,
            QStringLiteral("The file could not be saved; any previous file was kept.\n%1").arg(reason),
            QMessageBox::Ok, QMessageBox::Warning);
    }
    return false;
}
