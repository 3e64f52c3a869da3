// The document: owns the one installation model and carries out New, Open
// (with merge), opening a given path, and Save / Save As in both file types.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class CChangeRecord;
class CInstallationChange;
class COrvoSystem;
class IOrvoSettings;
class QUndoStack;
class QWidget;

// The file dialogs of Open and Save, behind an interface so tests can give
// the file names while the remembered-state logic stays the document's.
class IDocFileDialogs {
public:
    virtual ~IDocFileDialogs() = default;
    // Open: *merge arrives preset to the remembered state and leaves with the
    // box's state. False on Cancel.
    virtual bool ChooseOpen(QWidget* parent, const QString& initialPath, bool* merge, QString* path) = 0;
    // Save: *filterIndex (1 = Orvo Files, 2 = JSON Files) arrives preset and
    // leaves with the chosen filter. False on Cancel.
    virtual bool ChooseSave(QWidget* parent, const QString& initialPath, int* filterIndex, QString* path) = 0;
    // The save offered by the question about unsaved changes: the document
    // type only. False on Cancel.
    virtual bool ChooseDocumentSave(QWidget* parent, const QString& initialPath, QString* path)
    {
        int filterIndex = 1;
        return ChooseSave(parent, initialPath, &filterIndex, path);
    }
};

// The real dialogs: a non-native open dialog carrying the "Merge with existing
// tree" box, and a save dialog with both file types and overwrite prompt.
class CQtDocFileDialogs : public IDocFileDialogs {
public:
    bool ChooseOpen(QWidget* parent, const QString& initialPath, bool* merge, QString* path) override;
    bool ChooseSave(QWidget* parent, const QString& initialPath, int* filterIndex, QString* path) override;
    bool ChooseDocumentSave(QWidget* parent, const QString& initialPath, QString* path) override;
};

class CSetupDoc : public QObject {
    Q_OBJECT
public:
    // settings: read by the system at construction and at each New; may be null.
    explicit CSetupDoc(IOrvoSettings* settings, QObject* parent = nullptr);
    ~CSetupDoc() override;

    COrvoSystem* System() const { return m_system.get(); }
    // What the installation held when last read or written in this run, for
    // Write Changes; forgotten when another document takes this one's place.
    CChangeRecord& ChangeRecord() const { return *m_changeRecord; }

    // The framework's New: empty installation (key tags and alarm inputs
    // too), untitled document, nothing to save.
    bool OnNewDocument();
    // Opening a path (command line, recent files): New, load, rebuild; the
    // path becomes the document's and joins the recent files. A file that is
    // no document is refused with a box and the current document stays;
    // false then. Numbers out of range are listed in one box.
    bool OnOpenDocument(const QString& path, QWidget* parent = nullptr);
    // The Open command: dialog with merge box. Without merge the opened file
    // becomes the document (title included) after asking to save changes;
    // a merge changes the current document.
    void OnFileOpen(QWidget* parent);
    // Save and Save As: dialog, then the document (".orvo") or the JSON export.
    // Returns true when something was saved; a saved ".orvo" becomes the
    // document's file and leaves nothing to save.
    bool OnFileSave(QWidget* parent);
    // Saves the document itself (".orvo"), whatever type the last save chose:
    // the save the question about unsaved changes offers. True when saved.
    bool SaveDocument(QWidget* parent);

    // Changes not yet saved: a read, an edit, a merge, the Upgrade Option.
    // The undo history decides: the document is unchanged exactly when it
    // stands where it stood at the last New, open or save.
    bool IsModified() const;
    // false: the document now holds what its file holds (kept in the
    // history, so Undo past this point marks it changed again).
    // true: a change the history cannot take back, such as a read: the steps
    // before it go, and no Undo leads back to the saved state.
    void SetModified(bool modified = true);

    // The steps Undo and Redo go through; owned by the document.
    QUndoStack* UndoStack() const { return m_undo; }
    // Adds a change already made to the model as the next step, named text
    // ("Edit Deck 3"); nothing when the change is empty. True when added.
    bool RecordChange(CInstallationChange&& change, const QString& text);
    // The same for the Upgrade Option: whether the next write erases the
    // key tags, before and after the question.
    void RecordEraseKeys(bool before, bool after);
    // Before the document is replaced or the program ends: asks
    // "Save changes to %s?" when there are changes. True when the caller may
    // go on (saved, or No); false on Cancel or when the save did not happen.
    bool SaveModified(QWidget* parent);

    // The title of a document without a file: its type's name, as the
    // framework names new documents.
    static QString NewTitle() { return QStringLiteral("Orvo"); }

    QString PathName() const { return m_pathName; }
    QString Title() const { return m_title; }

    // The dialogs in use; null restores the real ones. Not owned.
    void SetFileDialogs(IDocFileDialogs* dialogs) { m_dialogs = dialogs; }

    // File-dialog memory shared by every document of the process.
    struct FileDialogMemory {
        QString lastPath;
        int lastFilterIndex = 0;
        bool lastMerge = false;
    };
    static FileDialogMemory& DialogMemory();

signals:
    // The views must delete their items and build the tree again.
    void viewsNeedRebuild();
    void titleChanged(const QString& title);
    void modifiedChanged(bool modified);
    // A path was opened as the document and belongs in the recent-file list.
    void documentOpened(const QString& path);
    // Undo or Redo changed the model: the views show it again, keeping what
    // is open and selected.
    void modelRestored();
    // Undo or Redo changed whether the next write erases the key tags.
    void eraseKeysRestored(bool erase);

private:
    void SetPathName(const QString& path);
    IDocFileDialogs& Dialogs();

    std::unique_ptr<COrvoSystem> m_system;
    std::unique_ptr<CChangeRecord> m_changeRecord;
    IDocFileDialogs* m_dialogs = nullptr;
    // Reads path for Open; false (with the box) when it is no document.
    bool ReadForOpen(const QString& path, QWidget* parent, std::string* text);
    // Writes the chosen path in the form given (1 document, 2 JSON export);
    // false, with the box, when nothing was written.
    bool SaveAs(const QString& path, int form, QWidget* parent);
    void ReportOutOfRange(const QString& path, const std::vector<std::string>& notes, QWidget* parent);

    // A new history: after New and after opening a document.
    void ResetHistory();
    // Tells the views whether there are changes, once per change of state.
    void UpdateModified();

    QString m_pathName;
    QString m_title = NewTitle();
    QUndoStack* m_undo;
    bool m_modified = false; // as last announced
    bool m_quiet = false;    // the history is being reset: announce afterwards
};
