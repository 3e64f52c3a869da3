// A floating progress window for long jobs that run on the user-interface
// thread: a status line, a progress bar and Cancel. While it exists its owner
// is disabled; the caller moves the bar after each step and calls PeekAndPump
// between steps so the interface stays alive and Cancel can be noticed.
//
// The window's caption shows the percentage done ("Title [42%]") and its
// position is remembered in the settings store under "Settings"/"X","Y".
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "wendrel/export.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

class WENDREL_API CProgressWnd : public QObject {
    Q_OBJECT
public:
    // No window yet; call Create or GoModal.
    CProgressWnd();
    // Creates the window at once; owner (may be null) is disabled until this
    // object is destroyed.
    CProgressWnd(QWidget* owner, const QString& title, bool smooth = false);
    // Destroys the window and re-enables and re-activates the owner given to
    // the constructor.
    ~CProgressWnd() override;

    // Creates and shows the window near owner (null: the main window). False
    // if it already exists or cannot be created.
    bool Create(QWidget* owner, const QString& title, bool smooth = false);
    // Creates the window if needed and disables the outermost enabled window
    // above it, so only the progress window takes input.
    bool GoModal(const QString& title = QStringLiteral("Progress"), bool smooth = false);

    // Only when the window exists.
    void SetRange(int lower, int upper, int step = 1);
    // Shows the window, moves the bar and refreshes the caption's percentage.
    // Returns the bar's previous position (the stored position if there is no
    // window).
    int SetPos(int pos);
    int OffsetPos(int delta);
    int StepIt();
    // Returns the previous step.
    int SetStep(int step);
    // printf-style status line, at most 511 bytes (longer text is cut); the
    // bytes are in the ANSI code page (Windows-1252), as model texts are.
    void SetText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetText(const QString& text);

    bool Cancelled() const { return m_cancelled; }
    // Dispatches the events waiting in the queue. cancelOnEscape: an Escape key
    // press among them cancels the job. Returns at once once cancelled.
    void PeekAndPump(bool cancelOnEscape = true);

    // Shows without activating.
    void Show();
    void Hide();
    // Empty text, position 0, not cancelled.
    void Clear();
    // Lays the window out for lines of text, width pixels wide.
    void SetWindowSize(int lines, int width = 390);

    // Saves the position, ends the modal state, and closes the window. The
    // object stays usable: later calls find no window and do nothing.
    virtual bool DestroyWindow();

    bool IsWindow() const { return !m_wnd.isNull(); }
    QWidget* GetWindow() const { return m_wnd.data(); }
    int GetPos() const { return m_pos; }
    QString GetText() const;
    QString GetTitle() const { return m_title; }
    // Whether the window's position is saved and restored (default true).
    void SetRememberPosition(bool remember) { m_persistSize = remember; }

    // The window owners default to. Without one, the first top-level
    // QMainWindow is used.
    static void SetMainWindow(QWidget* mainWindow);
    static QWidget* MainWindow();

public slots:
    // The Cancel button, Escape, or closing the window from the desktop.
    void OnCancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CommonConstruct();
    void SaveCurrentSettings();
    void RestorePreviousSettings();
    void UpdatePercent(int percent);
    void CenterOn(QWidget* over);

    QPointer<QWidget> m_wnd;
    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_modalDisabled;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;

    int m_nNumTextLines = 4;
    int m_pos = 0;
    int m_barPos = 0;
    int m_percentShown = 0;
    int m_step = 1;
    int m_upper = 100;
    int m_lower = 0;
    QString m_title;
    QString m_cancelText;
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_persistSize = true;
    bool m_pumping = false;
    bool m_cancelOnEscape = false;
};
