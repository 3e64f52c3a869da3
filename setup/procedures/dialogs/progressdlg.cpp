#include "orvoprocedures/progressdlg.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "orvomodel/modeltext.h"
#include "orvoprocedures/readwritedialogs.h"
#include "orvoprocedures/timeleft.h"
#include "wendrel/messagebox.h"

CProgressDlg::CProgressDlg(QWidget* parent, COrvoSerialConnection* conn, const QString& title)
    : QDialog(parent), m_conn(conn)
{
    setModal(true);
    if (!title.isEmpty())
        setWindowTitle(title);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_status = new QLabel(this);
    m_status->setMinimumWidth(320);
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("timeText"));
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_time);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_cancel.store(true); });
    connect(&m_clock, &QTimer::timeout, this, &CProgressDlg::ShowTime);
}

void CProgressDlg::ShowTime()
{
    if (!m_elapsed.isValid() || m_stopped)
        return;
    m_time->setText(QString::fromStdString(
        ProgressTimeText(m_progress->minimum(), m_progress->maximum(), m_progress->value(),
                         static_cast<double>(m_elapsed.elapsed()) / 1000.0)));
}

CProgressDlg::~CProgressDlg()
{
    // The job may still be asking a question if the dialog is torn down early.
    m_cancel.store(true);
    if (m_worker.joinable())
        m_worker.join();
}

void CProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        m_elapsed.start();
        m_clock.start(1000);
        ShowTime();
        StartWork();
    }
}

void CProgressDlg::reject()
{
    m_cancel.store(true);
}

void CProgressDlg::StartThread(std::function<void()> body)
{
    m_worker = std::thread(std::move(body));
}

void CProgressDlg::PostText(const QString& text)
{
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            m_status->setText(text);
            emit textShown(text);
        },
        Qt::QueuedConnection);
}

void CProgressDlg::PostPos(int pos)
{
    QMetaObject::invokeMethod(
        this,
        [this, pos] {
            m_progress->setValue(pos);
            ShowTime();
            emit positionShown(pos);
        },
        Qt::QueuedConnection);
}

void CProgressDlg::PostRange(int lower, int upper)
{
    QMetaObject::invokeMethod(
        this,
        [this, lower, upper] {
            // An empty deck range still needs a bar that shows nothing done.
            m_progress->setRange(lower, upper < lower ? lower : upper);
            m_progress->setValue(lower);
            m_elapsed.start();
            ShowTime();
            emit rangeShown(lower, upper);
        },
        Qt::QueuedConnection);
}

void CProgressDlg::PostEnd(int result)
{
    QMetaObject::invokeMethod(
        this, [this, result] { done(result); }, Qt::QueuedConnection);
}

void CProgressDlg::RunOnGuiThread(const std::function<void()>& body)
{
    if (QThread::currentThread() == thread())
        body();
    else
        QMetaObject::invokeMethod(this, body, Qt::BlockingQueuedConnection);
}

RetryAnswer CProgressDlg::AskRetry(const QString& text)
{
    QMessageBox::StandardButton button = QMessageBox::No;
    RunOnGuiThread([&] {
        button = WendrelMessageBox(this, text, QMessageBox::Critical,
                                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    });
    if (button == QMessageBox::Yes)
        return RetryAnswer::Yes;
    if (button == QMessageBox::Cancel) {
        m_cancel.store(true);
        return RetryAnswer::Cancel;
    }
    return RetryAnswer::No;
}

void CProgressDlg::StopClock()
{
    if (m_stopped)
        return;
    m_clock.stop();
    // The job is over: what it took stays, a time left no longer means anything.
    if (m_elapsed.isValid())
        m_time->setText(
            QString::fromStdString(ElapsedText(static_cast<double>(m_elapsed.elapsed()) / 1000.0)));
    m_stopped = true;
}

void CProgressDlg::ShowSummary(const QString& caption, const QString& text, bool error)
{
    RunOnGuiThread([&] {
        StopClock();
        WendrelMessageBox(this, text, error ? QMessageBox::Critical : QMessageBox::Information,
                          QMessageBox::Ok, caption);
    });
}

void CProgressDlgHost::SetText(const std::string& text)
{
    m_dialog->PostText(TextFromModel(text));
}

RetryAnswer CProgressDlgHost::AskRetry(const std::string& text, int)
{
    return m_dialog->AskRetry(TextFromModel(text));
}

void CProgressDlgHost::ShowSummary(const std::string& caption, const std::string& text, bool error)
{
    m_dialog->ShowSummary(TextFromModel(caption), TextFromModel(text), error);
}

void CProgressDlgHost::ConnectionLost(const std::string& text)
{
    m_dialog->PostText(TextFromModel(text));
}

CProcedureDlg::CProcedureDlg(QWidget* parent, COrvoSerialConnection* conn, const CReadWriteParameters* params,
                             COrvoSystem* system, const QString& title)
    : CProgressDlg(parent, conn, title), m_params(params), m_system(system)
{
}

void COrvoReadDlg::StartWork()
{
    StartJob<CReadProcedure>();
}

void COrvoWriteDlg::StartWork()
{
    StartJob<CWriteProcedure>();
}

CWorkDlg::CWorkDlg(QWidget* parent, COrvoSerialConnection* conn, const QString& title, Work work)
    : CProgressDlg(parent, conn, title), m_work(std::move(work))
{
}

void CWorkDlg::StartWork()
{
    StartThread([this] { PostEnd(m_work(m_host, m_cancel)); });
}

namespace {

// Runs the job's dialog over the whole system or over the first deck only.
template <typename Dialog>
int RunJobDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                 const CReadWriteParameters& params, bool wholeSystem, int quietRetries, const QString& title,
                 JobReport* report)
{
    CReadWriteParameters covered = params;
    if (!wholeSystem)
        covered.last = covered.first;
    Dialog dialog(parent, conn, &covered, system, title);
    dialog.SetQuietRetries(quietRetries);
    const int result = dialog.exec();
    if (report) {
        report->outcome = dialog.Outcome();
        report->lostSettings = dialog.LostSettings();
        report->startedDecks = dialog.StartedDecks();
        report->completedDecks = dialog.CompletedDecks();
    }
    return result;
}

} // namespace

int RunReadDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                  const CReadWriteParameters& params, bool wholeSystem, int quietRetries, JobReport* report)
{
    return RunJobDialog<COrvoReadDlg>(
        parent, conn, system, params, wholeSystem, quietRetries,
        wholeSystem ? QStringLiteral("Reading Orvo System") : QStringLiteral("Reading Orvo Deck"), report);
}

int RunWriteDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                   const CReadWriteParameters& params, bool wholeSystem, int quietRetries, JobReport* report)
{
    return RunJobDialog<COrvoWriteDlg>(
        parent, conn, system, params, wholeSystem, quietRetries,
        wholeSystem ? QStringLiteral("Writing Orvo System") : QStringLiteral("Writing Orvo Deck"), report);
}
