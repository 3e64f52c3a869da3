// The document: owns the one installation model and carries out New, Open
// (with merge), opening a given path, and Save / Save As in both file types.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class COrvoSystem;
class IOrvoSettings;
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
};

// The real dialogs: a non-native open dialog carrying the "Merge with existing
// tree" box, and a save dialog with both file types and overwrite prompt.
class CQtDocFileDialogs : public IDocFileDialogs {
public:
    bool ChooseOpen(QWidget* parent, const QString& initialPath, bool* merge, QString* path) override;
    bool ChooseSave(QWidget* parent, const QString& initialPath, int* filterIndex, QString* path) override;
};

class CSetupDoc : public QObject {
    Q_OBJECT
public:
    // settings: read by the system at construction and at each New; may be null.
    explicit CSetupDoc(IOrvoSettings* settings, QObject* parent = nullptr);
    ~CSetupDoc() override;

    COrvoSystem* System() const { return m_system.get(); }

    // The framework's New: empty installation, untitled document.
    bool OnNewDocument();
    // Opening a path (command line, recent files): New, load, rebuild. Always
    // succeeds; the path becomes the document's and joins the recent files.
    bool OnOpenDocument(const QString& path);
    // The Open command: dialog with merge box; the document's path and title stay.
    void OnFileOpen(QWidget* parent);
    // Save and Save As: dialog, then the document (".orvo") or the JSON export.
    // Returns true when something was saved.
    bool OnFileSave(QWidget* parent);

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
    // A path was opened as the document and belongs in the recent-file list.
    void documentOpened(const QString& path);

private:
    void SetPathName(const QString& path);
    IDocFileDialogs& Dialogs();

    std::unique_ptr<COrvoSystem> m_system;
    IDocFileDialogs* m_dialogs = nullptr;
    QString m_pathName;
    QString m_title = NewTitle();
};
