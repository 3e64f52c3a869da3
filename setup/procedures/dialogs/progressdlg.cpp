#include "orvoprocedures/progressdlg.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "orvoprocedures/readwritedialogs.h"
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
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_cancel.store(true); });
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
            emit rangeShown(lower, upper);
        },
        Qt::QueuedConnection);
}

void CProgressDlg::PostEnd(int result)
{
    QMetaObject::invokeMethod(
        this, [this, result] { done(result); }, Qt::QueuedConnection);
}

RetryAnswer CProgressDlg::AskRetry(const QString& text)
{
    QMessageBox::StandardButton button = QMessageBox::No;
    auto ask = [&] {
        button = WendrelMessageBox(this, text, QMessageBox::Critical,
                                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    if (QThread::currentThread() == thread())
        ask();
    else
        QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    if (button == QMessageBox::Yes)
        return RetryAnswer::Yes;
    if (button == QMessageBox::Cancel) {
        m_cancel.store(true);
        return RetryAnswer::Cancel;
    }
    return RetryAnswer::No;
}

void CProgressDlg::ShowSummary(const QString& caption, const QString& text, bool error)
{
    auto show = [&] {
        WendrelMessageBox(this, text, error ? QMessageBox::Critical : QMessageBox::Information,
                          QMessageBox::Ok, caption);
    };
    if (QThread::currentThread() == thread())
        show();
    else
        QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

void CProgressDlgHost::SetText(const std::string& text)
{
    m_dialog->PostText(QString::fromLatin1(text));
}

RetryAnswer CProgressDlgHost::AskRetry(const std::string& text, int)
{
    return m_dialog->AskRetry(QString::fromLatin1(text));
}

void CProgressDlgHost::ShowSummary(const std::string& caption, const std::string& text, bool error)
{
    m_dialog->ShowSummary(QString::fromLatin1(caption), QString::fromLatin1(text), error);
}

void CProgressDlgHost::ConnectionLost(const std::string& text)
{
    m_dialog->PostText(QString::fromLatin1(text));
}

COrvoReadDlg::COrvoReadDlg(QWidget* parent, COrvoSerialConnection* conn, const CReadWriteParameters* params,
                           COrvoSystem* system, const QString& title)
    : CProgressDlg(parent, conn, title), m_params(params), m_system(system)
{
}

void COrvoReadDlg::StartWork()
{
    StartThread([this] {
        CReadProcedure job(m_conn, *m_params, m_system, &m_host, &m_cancel);
        PostEnd(job.Run());
    });
}

COrvoWriteDlg::COrvoWriteDlg(QWidget* parent, COrvoSerialConnection* conn, const CReadWriteParameters* params,
                             COrvoSystem* system, const QString& title)
    : CProgressDlg(parent, conn, title), m_params(params), m_system(system)
{
}

void COrvoWriteDlg::StartWork()
{
    StartThread([this] {
        CWriteProcedure job(m_conn, *m_params, m_system, &m_host, &m_cancel);
        PostEnd(job.Run());
    });
}

int RunReadDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                  const CReadWriteParameters& params, bool wholeSystem)
{
    CReadWriteParameters covered = params;
    if (!wholeSystem)
        covered.last = covered.first;
    COrvoReadDlg dialog(parent, conn, &covered, system,
                        wholeSystem ? QStringLiteral("Reading Orvo System")
                                    : QStringLiteral("Reading Orvo Deck"));
    return dialog.exec();
}

int RunWriteDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                   const CReadWriteParameters& params, bool wholeSystem)
{
    CReadWriteParameters covered = params;
    if (!wholeSystem)
        covered.last = covered.first;
    COrvoWriteDlg dialog(parent, conn, &covered, system,
                         wholeSystem ? QStringLiteral("Writing Orvo System")
                                     : QStringLiteral("Writing Orvo Deck"));
    return dialog.exec();
}
