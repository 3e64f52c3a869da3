#include "orvoshell/setupdoc.h"

#include "orvoshell/shellmessages.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/changerecord.h>
#include <orvomodel/installationchange.h>
#include <orvomodel/modeltext.h>
#include <orvomodel/orvosystem.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QUndoCommand>
#include <QUndoStack>

#include <optional>

namespace {

const QString kOrvoFilter = QStringLiteral("Orvo Files (*.orvo)");
const QString kJsonFilter = QStringLiteral("JSON Files (*.json)");
const QString kAllFilter = QStringLiteral("All Files (*)");

// Steps kept for Undo. A step holds only the decks it changed, but a merge
// or an import may change every deck (some 12 MB): the oldest go first.
constexpr int kUndoLimit = 100;

// A change to the model, made before the step is pushed: the first redo is
// the change itself, every later undo or redo exchanges the states.
class ModelStep : public QUndoCommand {
public:
    ModelStep(CSetupDoc& doc, CInstallationChange&& change, const QString& text)
        : QUndoCommand(text), m_doc(doc), m_change(std::move(change))
    {
    }
    void undo() override { Exchange(); }
    void redo() override
    {
        if (m_made) {
            m_made = false;
            return;
        }
        Exchange();
    }

private:
    void Exchange()
    {
        m_change.Swap(*m_doc.System());
        emit m_doc.modelRestored();
    }

    CSetupDoc& m_doc;
    CInstallationChange m_change;
    bool m_made = true;
};

// The Upgrade Option's answer: whether the next write erases the key tags.
class EraseKeysStep : public QUndoCommand {
public:
    EraseKeysStep(CSetupDoc& doc, bool before, bool after)
        : QUndoCommand(after ? QStringLiteral("Upgrade Option (Erase RFID Keys)")
                             : QStringLiteral("Upgrade Option (Keep RFID Keys)")),
          m_doc(doc), m_before(before), m_after(after)
    {
    }
    void undo() override { Apply(m_before); }
    void redo() override
    {
        if (m_made) {
            m_made = false;
            return;
        }
        Apply(m_after);
    }

private:
    void Apply(bool erase)
    {
        AccessExport::Instance().SetEraseKeysOnNextWrite(erase);
        emit m_doc.eraseKeysRestored(erase);
    }

    CSetupDoc& m_doc;
    bool m_before;
    bool m_after;
    bool m_made = true;
};

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

bool CQtDocFileDialogs::ChooseDocumentSave(QWidget* parent, const QString& initialPath, QString* path)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kOrvoFilter});
    dialog.setDefaultSuffix(QStringLiteral("orvo"));
    if (!initialPath.isEmpty())
        dialog.selectFile(initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *path = dialog.selectedFiles().constFirst();
    return true;
}

CSetupDoc::CSetupDoc(IOrvoSettings* settings, QObject* parent)
    : QObject(parent), m_system(std::make_unique<COrvoSystem>(settings)),
      m_changeRecord(std::make_unique<CChangeRecord>()), m_undo(new QUndoStack(this))
{
    m_undo->setUndoLimit(kUndoLimit);
    connect(m_undo, &QUndoStack::cleanChanged, this, &CSetupDoc::UpdateModified);
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
    // Tags and alarm inputs go too, or the duplicate check would still find
    // the previous installation's keys in an empty one.
    m_system->ClearAll();
    m_changeRecord->Forget();
    SetPathName(QString());
    ResetHistory();
    emit viewsNeedRebuild();
    return true;
}

bool CSetupDoc::ReadForOpen(const QString& path, QWidget* parent, std::string* text)
{
    LoadOutcome outcome;
    if (COrvoSystem::ReadDocumentFile(QFile::encodeName(path).toStdString(), text, &outcome) ||
        !outcome.notDocument) {
        return true; // an unreadable file opens as an empty installation, as designed
    }
    ShellMessage(parent, QStringLiteral("%1 is not an Orvo document.").arg(QDir::toNativeSeparators(path)),
                 QMessageBox::Ok, QMessageBox::Warning);
    return false;
}

void CSetupDoc::ReportOutOfRange(const QString& path, const std::vector<std::string>& notes, QWidget* parent)
{
    if (notes.empty())
        return;
    constexpr size_t kShown = 20;
    QString text = QStringLiteral("Some values in %1 were out of range and have been limited to what their "
                                  "fields can hold:\n")
                       .arg(QDir::toNativeSeparators(path));
    for (size_t i = 0; i < notes.size() && i < kShown; ++i)
        text += TextFromModel(notes[i]) + QLatin1Char('\n');
    if (notes.size() > kShown)
        text += QStringLiteral("... and %1 more\n").arg(notes.size() - kShown);
    ShellMessage(parent, text.trimmed(), QMessageBox::Ok, QMessageBox::Warning);
}

bool CSetupDoc::OnOpenDocument(const QString& path, QWidget* parent)
{
    std::string text;
    if (!ReadForOpen(path, parent, &text))
        return false;
    LoadOutcome outcome;
    m_system->ClearAll();
    m_changeRecord->Forget();
    m_system->path = QFile::encodeName(path).toStdString();
    m_system->LoadText(text, false, &outcome);
    emit viewsNeedRebuild();
    SetPathName(path);
    ResetHistory();
    emit documentOpened(path);
    ReportOutOfRange(path, outcome.outOfRange, parent);
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
    std::string text;
    if (!ReadForOpen(path, parent, &text))
        return;
    // A merge adds to the current document; anything else replaces it.
    if (!merge && !SaveModified(parent))
        return;
    if (!merge)
        m_system->ClearAll();
    // A merge is one step of the history; an opened document starts a new one.
    std::optional<CInstallationSnapshot> before;
    if (merge)
        before.emplace(*m_system);
    LoadOutcome outcome;
    m_system->path = QFile::encodeName(path).toStdString();
    m_system->LoadText(text, merge, &outcome);
    if (merge) {
        RecordChange(CInstallationChange(std::move(*before), *m_system),
                     QStringLiteral("Merge %1").arg(QFileInfo(path).fileName()));
    }
    emit viewsNeedRebuild();
    if (!merge) {
        // What the installation holds is no longer known of this document.
        m_changeRecord->Forget();
        SetPathName(path);
        ResetHistory();
    }
    ReportOutOfRange(path, outcome.outOfRange, parent);
}

bool CSetupDoc::SaveModified(QWidget* parent)
{
    if (!IsModified())
        return true;
    switch (ShellMessage(parent, QStringLiteral("Save changes to %1?").arg(m_title),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning)) {
    case QMessageBox::Yes:
        // The changes are saved as the document, never as the export, so
        // the command that asked can go on once the save has happened.
        return SaveDocument(parent);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool CSetupDoc::IsModified() const
{
    return !m_undo->isClean();
}

void CSetupDoc::SetModified(bool modified)
{
    if (!modified) {
        m_undo->setClean();
        return;
    }
    // Undo would put back decks from before the change and lose what it
    // brought; the steps go, and the saved state cannot be reached again.
    m_quiet = true;
    m_undo->clear();
    m_undo->resetClean();
    m_quiet = false;
    UpdateModified();
}

void CSetupDoc::ResetHistory()
{
    m_quiet = true;
    m_undo->clear();
    m_undo->setClean();
    m_quiet = false;
    UpdateModified();
}

void CSetupDoc::UpdateModified()
{
    if (m_quiet || m_modified == IsModified())
        return;
    m_modified = IsModified();
    emit modifiedChanged(m_modified);
}

bool CSetupDoc::RecordChange(CInstallationChange&& change, const QString& text)
{
    if (change.IsEmpty())
        return false;
    m_undo->push(new ModelStep(*this, std::move(change), text));
    return true;
}

void CSetupDoc::RecordEraseKeys(bool before, bool after)
{
    if (before != after)
        m_undo->push(new EraseKeysStep(*this, before, after));
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
    return SaveAs(path, QFileInfo(path).suffix() == QStringLiteral("orvo") ? 1 : 2, parent);
}

bool CSetupDoc::SaveDocument(QWidget* parent)
{
    FileDialogMemory& memory = DialogMemory();
    // Offer the document's own file; after an export, the export's name as a document.
    QString initial = m_pathName;
    if (initial.isEmpty() && !memory.lastPath.isEmpty()) {
        const QFileInfo last(memory.lastPath);
        initial = last.dir().filePath(last.completeBaseName() + QStringLiteral(".orvo"));
    }
    QString path;
    if (!Dialogs().ChooseDocumentSave(parent, initial, &path))
        return false;
    if (QFileInfo(path).suffix() != QStringLiteral("orvo"))
        path += QStringLiteral(".orvo");
    memory.lastPath = path;
    return SaveAs(path, 1, parent) && !IsModified();
}

bool CSetupDoc::SaveAs(const QString& path, int form, QWidget* parent)
{
    SaveOutcome outcome;
    if (m_system->Save(QFile::encodeName(path).toStdString(), form, &outcome)) {
        if (form == 1) {
            SetPathName(path);
            SetModified(false);
        }
        return true;
    }
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
