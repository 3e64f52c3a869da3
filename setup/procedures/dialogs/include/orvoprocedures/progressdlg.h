// The modal progress dialogs of the read and write jobs.
//
// The job runs on a worker thread of its own; it reaches the dialog only
// through queued calls (text, position, range, end), and waits on the GUI
// thread only for the installer's answer to a time-out prompt. Cancel just
// raises the flag the job polls; the dialog closes when the job ends it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>

#include "orvoprocedures/installationjobs.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/readwriteparameters.h"

class QLabel;
class QProgressBar;
class QPushButton;
class COrvoSerialConnection;
class COrvoSystem;

class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    CProgressDlg(QWidget* parent, COrvoSerialConnection* conn, const QString& title = QString());
    ~CProgressDlg() override;

    // Worker side: each posts to the GUI thread and returns at once.
    void PostText(const QString& text);
    void PostPos(int pos);
    void PostRange(int lower, int upper);
    void PostEnd(int result);
    // Worker side: the Yes/No/Cancel box, owned by this dialog. Waits for the answer.
    RetryAnswer AskRetry(const QString& text);
    // Stops the clock first: the time line keeps the elapsed time the job
    // took and drops the time left.
    void ShowSummary(const QString& caption, const QString& text, bool error);

    // Escape and the window's close button act as Cancel: the job decides when to close.
    void reject() override;

    bool CancelRequested() const { return m_cancel.load(); }
    QProgressBar* ProgressBar() const { return m_progress; }
    QLabel* StatusText() const { return m_status; }
    // The elapsed time and, once a few decks are done, the time left.
    QLabel* TimeText() const { return m_time; }
    QPushButton* CancelButton() const { return m_cancelButton; }

signals:
    // Emitted on the GUI thread as each posted message takes effect.
    void textShown(const QString& text);
    void rangeShown(int lower, int upper);
    void positionShown(int pos);

protected:
    // Starts the worker; called once when the dialog first shows.
    virtual void StartWork() = 0;
    void showEvent(QShowEvent* event) override;
    // Runs body on the worker thread.
    void StartThread(std::function<void()> body);
    // Runs body on the GUI thread and waits for it (at once when already there).
    void RunOnGuiThread(const std::function<void()>& body);

    COrvoSerialConnection* m_conn;
    std::atomic<bool> m_cancel{false};

private:
    void ShowTime();
    void StopClock();

    QProgressBar* m_progress;
    QLabel* m_status;
    QLabel* m_time;
    QElapsedTimer m_elapsed;
    QTimer m_clock;
    QPushButton* m_cancelButton;
    std::thread m_worker;
    bool m_started = false;
    bool m_stopped = false; // the clock stopped when the summary appeared
};

// Reaches the dialog from the job's thread.
class CProgressDlgHost : public IProcedureHost {
public:
    explicit CProgressDlgHost(CProgressDlg* dialog) : m_dialog(dialog) {}
    void SetRange(int lower, int upper) override { m_dialog->PostRange(lower, upper); }
    void SetPos(int pos) override { m_dialog->PostPos(pos); }
    void SetText(const std::string& text) override;
    RetryAnswer AskRetry(const std::string& text, int attempt) override;
    void ShowSummary(const std::string& caption, const std::string& text, bool error) override;
    void ConnectionLost(const std::string& text) override;

private:
    CProgressDlg* m_dialog;
};

// The dialog of one bus job over the model and the chosen decks.
class CProcedureDlg : public CProgressDlg {
    Q_OBJECT
public:
    CProcedureDlg(QWidget* parent, COrvoSerialConnection* conn, const CReadWriteParameters* params,
                  COrvoSystem* system, const QString& title = QString());

protected:
    // Runs a Job (CReadProcedure, CWriteProcedure) on the worker thread; its
    // result ends the dialog.
    template <typename Job> void StartJob()
    {
        StartThread([this] {
            Job job(m_conn, *m_params, m_system, &m_host, &m_cancel);
            job.SetQuietRetries(m_quietRetries);
            const int result = job.Run();
            // Before the end is posted: the dialog may be gone right after.
            m_lostSettings = job.LostSettings();
            m_outcome = OutcomeOf(job, result);
            if constexpr (std::is_same_v<Job, CWriteProcedure>) {
                m_started = job.StartedDecks();
                m_completed = job.CompletedDecks();
            }
            PostEnd(result);
        });
    }

public:
    // How often a request to a device known to be there is repeated quietly
    // before it counts as lost; before exec().
    void SetQuietRetries(int retries) { m_quietRetries = retries; }
    // The settings the job could not read or write (valid once it has ended).
    const std::vector<LostSetting>& LostSettings() const { return m_lostSettings; }
    // How the job ended (valid once it has ended).
    JobOutcome Outcome() const { return m_outcome; }
    // A write's decks reached, and of those the ones written through (valid once it has ended).
    const std::vector<int>& StartedDecks() const { return m_started; }
    const std::vector<int>& CompletedDecks() const { return m_completed; }

private:
    const CReadWriteParameters* m_params;
    COrvoSystem* m_system;
    CProgressDlgHost m_host{this};
    int m_quietRetries = kDefaultQuietRetries;
    std::vector<LostSetting> m_lostSettings;
    JobOutcome m_outcome = JobOutcome::Done;
    std::vector<int> m_started;
    std::vector<int> m_completed;
};

// The dialog of a piece of work made of bus jobs of its own: work runs on the
// worker thread with the dialog's host and cancel flag and gives the result
// that ends the dialog (kJobFinished, kJobCancelled).
class CWorkDlg : public CProgressDlg {
    Q_OBJECT
public:
    using Work = std::function<int(IProcedureHost& host, std::atomic<bool>& cancel)>;
    CWorkDlg(QWidget* parent, COrvoSerialConnection* conn, const QString& title, Work work);

protected:
    void StartWork() override;

private:
    Work m_work;
    CProgressDlgHost m_host{this};
};

class COrvoReadDlg : public CProcedureDlg {
    Q_OBJECT
public:
    using CProcedureDlg::CProcedureDlg;

protected:
    void StartWork() override;
};

class COrvoWriteDlg : public CProcedureDlg {
    Q_OBJECT
public:
    using CProcedureDlg::CProcedureDlg;

protected:
    void StartWork() override;
};
