#include "orvologging/monitordlg.h"

#include "ui_monitordlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

#include <algorithm>

#include "orvologging/chartpanels.h"
#include "orvomodel/modeltext.h"
#include "orvoprocedures/broadcasts.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/orvoserialconnection.h"

// ------------------------------------------------------------ model

int CMonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_log.Size());
}

int CMonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : MonitorColumnCount;
}

QVariant CMonitorModel::data(const QModelIndex& index, int role) const
{
    // A cell too narrow for its text is elided; the tool tip shows it whole.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid())
        return QVariant();
    // Every text but the note is plain ASCII; the note is model text.
    return TextFromModel(m_log.Text(static_cast<size_t>(index.row()), index.column()));
}

QVariant CMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return QString::fromLatin1(MonitorColumnCaption(section));
}

void CMonitorModel::Append(const std::vector<MonitorEntry>& entries)
{
    if (entries.empty())
        return;
    const int first = static_cast<int>(m_log.Size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
    for (const MonitorEntry& entry : entries)
        m_log.Append(entry);
    endInsertRows();
}

void CMonitorModel::SetNote(int row, const std::string& note)
{
    if (row < 0 || static_cast<size_t>(row) >= m_log.Size())
        return;
    m_log.SetNote(static_cast<size_t>(row), note);
    const QModelIndex cell = index(row, ColNote);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void CMonitorModel::Clear()
{
    beginResetModel();
    m_log.Clear();
    endResetModel();
}

// ------------------------------------------------------------ note window

CNoteDlg::CNoteDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add Note"));
    auto* group = new QGroupBox(QStringLiteral("Note"), this);
    m_edit = new QLineEdit(group);
    m_edit->setObjectName(QStringLiteral("noteEdit"));
    m_edit->setMinimumWidth(320);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

QString CNoteDlg::Text() const
{
    return m_edit->text();
}

// ------------------------------------------------------------ monitor window

CMonitorDlg::CMonitorDlg(COrvoSerialConnection* session, QWidget* parent, const FeatureContext* context)
    : QDialog(parent), m_ui(std::make_unique<Ui::CMonitorDlg>()), m_session(session), m_link(*session),
      m_monitor(m_link), m_load(LineFormat{session->Baud(), 8, false, session->StopBits()})
{
    if (context) {
        m_fullAccess = context->fullAccess;
        m_accessLevel = context->accessLevel;
        m_administrator = context->administrator;
        m_features = context->features;
    }
    m_ui->setupUi(this);
    m_model = new CMonitorModel(this);
    m_filter = new QSortFilterProxyModel(this);
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(-1);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_ui->messageList->setModel(m_filter);
    for (int c = 0; c < MonitorColumnCount; ++c)
        m_ui->messageList->setColumnWidth(c, MonitorColumnWidth(c));
    m_ui->messageList->header()->setStretchLastSection(true);
    m_ui->messageList->setTextElideMode(Qt::ElideRight);

    m_ui->testButton->setEnabled(m_fullAccess && m_features && m_features->Has(ID_TEST_MESSAGING));

    connect(m_ui->testButton, &QPushButton::clicked, this, &CMonitorDlg::OnTest);
    connect(m_ui->syncButton, &QPushButton::clicked, this, &CMonitorDlg::OnSyncRtc);
    connect(m_ui->noteButton, &QPushButton::clicked, this, &CMonitorDlg::OnAddNote);
    connect(m_ui->exportButton, &QPushButton::clicked, this, &CMonitorDlg::OnExport);
    connect(m_ui->resetButton, &QPushButton::clicked, this, &CMonitorDlg::OnResetOrvo);
    connect(m_ui->clearButton, &QPushButton::clicked, this, &CMonitorDlg::OnClear);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->houseKeepingCheck, &QCheckBox::toggled, this, &CMonitorDlg::OnHouseKeeping);
    connect(m_ui->pauseButton, &QPushButton::toggled, this, &CMonitorDlg::OnPause);
    connect(m_ui->recordButton, &QPushButton::toggled, this, &CMonitorDlg::OnRecord);
    connect(m_ui->filterEdit, &QLineEdit::textChanged, this, &CMonitorDlg::OnFilter);

    m_askFile = [](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
        QFileDialog dialog(parent, caption, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave); // asks before overwriting
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    };

    m_ui->monitorSplitter->setStretchFactor(0, 3);
    m_ui->monitorSplitter->setStretchFactor(1, 2);
    m_ui->busLoad->SetFileAsker(
        [this](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
            return m_askFile(parent, caption, filter, suffix);
        });
    m_monitor.SetFrameObserver([this](const _orvo_msg& msg, std::int64_t ms) { m_load.Add(msg, ms); });
    connect(&m_loadTimer, &QTimer::timeout, this, &CMonitorDlg::UpdateLoad);
    m_loadTimer.start(kLoadRefreshMs);
    UpdateLoad();

    connect(&m_timer, &QTimer::timeout, this, &CMonitorDlg::OnTick);
    m_timer.start(kTickMs);
}

CBusLoadPanel* CMonitorDlg::LoadPanel() const
{
    return m_ui->busLoad;
}

void CMonitorDlg::UpdateLoad()
{
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    m_ui->busLoad->Bind(m_load, now);
}

CMonitorDlg::~CMonitorDlg()
{
    StopRecording();
}

void CMonitorDlg::OnTick()
{
    if (m_lost)
        return;
    QElapsedTimer clock;
    clock.start();
    std::vector<MonitorEntry> entries;
    const int listed = m_monitor.Poll([&](const MonitorEntry& entry) { entries.push_back(entry); });
    if (m_ui->pauseButton->isChecked()) {
        m_waiting.insert(m_waiting.end(), entries.begin(), entries.end());
    } else if (!entries.empty()) {
        QScrollBar* bar = m_ui->messageList->verticalScrollBar();
        const bool atEnd = bar->value() >= bar->maximum();
        m_model->Append(entries);
        if (atEnd)
            m_ui->messageList->scrollToBottom();
    }
    if (listed < 0) {
        m_lost = true;
        m_timer.stop();
        StopRecording();
        ShowStatus();
        ShellMessage(this, QStringLiteral("The connection to the installation was lost."), QMessageBox::Ok,
                     QMessageBox::Warning);
        return;
    }
    if (!entries.empty() || m_ui->pauseButton->isChecked())
        ShowStatus();
    m_longestTickMs = std::max(m_longestTickMs, static_cast<double>(clock.nsecsElapsed()) / 1e6);
}

void CMonitorDlg::ShowStatus()
{
    QString text;
    if (m_lost)
        text = QStringLiteral("Connection lost. ");
    if (m_ui->pauseButton->isChecked())
        text += QStringLiteral("Paused: %1 frame(s) waiting. ").arg(m_waiting.size());
    if (m_monitor.Recorder().Recording())
        text += QStringLiteral("Recording to %1.")
                    .arg(QString::fromLocal8Bit(m_monitor.Recorder().Path().c_str()));
    m_ui->statusLabel->setText(text.trimmed());
}

void CMonitorDlg::OnTest()
{
    if (!m_fullAccess || !m_features)
        return;
    FeatureContext context;
    context.parent = this;
    context.session = m_session;
    context.fullAccess = m_fullAccess;
    context.accessLevel = m_accessLevel;
    context.administrator = m_administrator;
    context.features = m_features;
    m_features->Run(ID_TEST_MESSAGING, context);
}

void CMonitorDlg::OnSyncRtc()
{
    CInstallationBroadcasts(m_link).SyncClocks();
}

void CMonitorDlg::OnResetOrvo()
{
    // Every deck and panel restarts: a stray click must not do that.
    if (ShellMessages().ShowWithDefault(
            this, AppTitle(), QStringLiteral("Reset ORVO restarts the whole installation. Reset it now?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::No) != QMessageBox::Yes)
        return;
    CInstallationBroadcasts(m_link).Reboot();
}

void CMonitorDlg::OnAddNote()
{
    const QModelIndexList rows = m_ui->messageList->selectionModel()->selectedRows();
    CNoteDlg note(this);
    if (note.exec() != QDialog::Accepted)
        return;
    if (rows.isEmpty())
        return; // nowhere to put it
    QModelIndex first = rows.front();
    for (const QModelIndex& row : rows)
        if (row.row() < first.row())
            first = row;
    bool replaced = false;
    const std::string text = TextToModel(note.Text(), &replaced);
    if (replaced)
        QApplication::beep();
    m_model->SetNote(m_filter->mapToSource(first).row(), text);
}

void CMonitorDlg::OnExport()
{
    if (m_model->rowCount() == 0)
        return;
    const QString path = m_askFile(this, QStringLiteral("Export"), QStringLiteral("Text Files (*.txt)"),
                                   QStringLiteral("txt"));
    if (path.isEmpty())
        return;
    std::string error;
    if (!WriteMonitorExport(path.toLocal8Bit().toStdString(), m_model->Log(), &error)) {
        ShellMessage(this, QStringLiteral("Error opening file <%1>").arg(path), QMessageBox::Ok,
                     QMessageBox::Critical);
        return;
    }
    ShellMessage(this, QStringLiteral("File <%1> written OK").arg(path));
}

void CMonitorDlg::OnClear()
{
    m_model->Clear();
    m_waiting.clear();
    ShowStatus();
}

void CMonitorDlg::OnHouseKeeping(bool on)
{
    m_monitor.SetHouseKeeping(on);
}

void CMonitorDlg::OnPause(bool paused)
{
    m_ui->pauseButton->setText(paused ? QStringLiteral("Res&ume") : QStringLiteral("&Pause"));
    if (!paused) {
        QScrollBar* bar = m_ui->messageList->verticalScrollBar();
        const bool atEnd = bar->value() >= bar->maximum();
        m_model->Append(m_waiting);
        m_waiting.clear();
        m_waiting.shrink_to_fit();
        if (atEnd)
            m_ui->messageList->scrollToBottom();
    }
    ShowStatus();
}

void CMonitorDlg::OnRecord(bool on)
{
    if (!on) {
        StopRecording();
        ShowStatus();
        return;
    }
    const QString path = m_askFile(this, QStringLiteral("Record"), QStringLiteral("Bus Recordings (*.rec)"),
                                   QStringLiteral("rec"));
    std::string error;
    if (path.isEmpty() || !m_monitor.Recorder().Start(path.toLocal8Bit().toStdString(), &error)) {
        if (!error.empty())
            ShellMessage(this, QStringLiteral("Cannot record: %1").arg(QString::fromLocal8Bit(error.c_str())),
                         QMessageBox::Ok, QMessageBox::Critical);
        const QSignalBlocker block(m_ui->recordButton);
        m_ui->recordButton->setChecked(false);
        return;
    }
    ShowStatus();
}

void CMonitorDlg::StopRecording()
{
    if (!m_monitor.Recorder().Recording())
        return;
    std::string error;
    if (!m_monitor.Recorder().Stop(&error))
        ShellMessage(this, QString::fromLocal8Bit(error.c_str()), QMessageBox::Ok, QMessageBox::Critical);
    if (m_ui) {
        const QSignalBlocker block(m_ui->recordButton);
        m_ui->recordButton->setChecked(false);
    }
}

void CMonitorDlg::OnFilter(const QString& text)
{
    m_filter->setFilterFixedString(text);
}
