#include "orvologging/eventlogdialogs.h"

#include "ui_logging2viewdlg.h"
#include "ui_testloggingdlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QVBoxLayout>

#include <ctime>
#include <set>

#include "orvologging/chartpanels.h"
#include "orvomodel/atomicfile.h"
#include "orvoprocedures/eventlogmodel.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/orvoserialconnection.h"
#include "wendrel/progresswnd.h"

namespace {

QLineEdit* DigitsEdit(QWidget* parent, const char* name, int maxLength = 0)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

QPushButton* Button(QWidget* parent, const QString& caption, const char* name)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// The text as a whole decimal number, as the dialogs read their fields.
bool ReadNumber(const QString& text, long long* value)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (ok)
        *value = v;
    return ok;
}

// The download's progress in the progress window, pumping the interface
// between items so Cancel (and Escape) can be pressed.
class CWindowProgress : public IEventLogProgress {
public:
    explicit CWindowProgress(CProgressWnd* wnd) : m_wnd(wnd) {}
    void SetRange(int count) override
    {
        m_count = count;
        m_wnd->SetRange(0, count, 1);
    }
    int Count() const { return m_count; }
    void SetPos(int pos) override { m_wnd->SetPos(pos); }
    bool Cancelled() override
    {
        m_wnd->PeekAndPump(true);
        return m_wnd->Cancelled();
    }

private:
    CProgressWnd* m_wnd;
    int m_count = 0;
};

CLogging2ViewDlg::FileChooser& Chooser()
{
    static CLogging2ViewDlg::FileChooser chooser;
    return chooser;
}

} // namespace

// ---- Logging ----------------------------------------------------------------

CLogging2Dlg::CLogging2Dlg(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_link(*session), m_reader(m_link)
{
    setWindowTitle(QStringLiteral("Logging"));
    auto* group = new QGroupBox(QStringLiteral("Logging"), this);
    auto* grid = new QGridLayout(group);
    m_deck = DigitsEdit(group, "deckNumber", 3);
    m_result = new QLabel(group);
    m_result->setObjectName(QStringLiteral("result"));
    auto* instructions =
        new QLabel(QStringLiteral("1. Enter required deck number\n"
                                  "2. Press 'Check' to interrogate the deck\n"
                                  "3. Press 'Download' to import the logged events\n"
                                  "4. Press 'Clear Log' to clear logged events from the deck\n"),
                   group);
    instructions->setObjectName(QStringLiteral("instructions"));
    grid->addWidget(new QLabel(QStringLiteral("Deck Number"), group), 0, 0);
    grid->addWidget(m_deck, 0, 1);
    grid->addWidget(m_result, 1, 0, 1, 2);
    grid->addWidget(instructions, 2, 0, 1, 2);

    m_check = Button(this, QStringLiteral("Check"), "check");
    m_download = Button(this, QStringLiteral("Download"), "download");
    m_clear = Button(this, QStringLiteral("Clear Log"), "clearLog");
    auto* close = Button(this, QStringLiteral("Close"), "close");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_check, m_download, m_clear, close})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(m_deck, &QLineEdit::textChanged, this, [this] { DeckChanged(); });
    connect(m_check, &QPushButton::clicked, this, [this] { OnCheck(); });
    connect(m_download, &QPushButton::clicked, this, [this] { OnDownload(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { OnClearLog(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    DeckChanged();
}

bool CLogging2Dlg::DeckNumber(int* deck) const
{
    long long value = 0;
    if (!ReadNumber(m_deck->text(), &value) || value < 0 || value > 255)
        return false;
    *deck = static_cast<int>(value);
    return true;
}

void CLogging2Dlg::DeckChanged()
{
    int deck = 0;
    m_check->setEnabled(DeckNumber(&deck));
    m_result->clear();
    m_download->setEnabled(false);
    m_clear->setEnabled(false);
}

void CLogging2Dlg::OnCheck()
{
    int deck = 0;
    if (!DeckNumber(&deck))
        return;
    int count = 0;
    if (m_reader.Count(deck, &count)) {
        m_result->setText(QStringLiteral("Deck %1: %2 logged items").arg(deck).arg(count));
    } else {
        m_result->setText(QStringLiteral("Deck %1: No reply").arg(deck));
        count = 0;
    }
    m_download->setEnabled(count >= 1);
    m_clear->setEnabled(count >= 1);
}

void CLogging2Dlg::OnDownload()
{
    int deck = 0;
    if (!DeckNumber(&deck))
        return;
    COrvoEventList events;
    CEventLogReader::Result result;
    {
        // The window re-enables this dialog when it goes.
        CProgressWnd progress(this, QStringLiteral("Reading Data Log"), true);
        CWindowProgress adapter(&progress);
        result = m_reader.Download(deck, &adapter, &events);
        if (result != CEventLogReader::Result::NoReply) {
            const int notDownloaded = adapter.Count() - events.Count();
            m_downloaded[deck] = events.Count();
            auto* view = new CLogging2ViewDlg(std::move(events), deck, this, notDownloaded);
            view->show();
        }
    }
    if (result == CEventLogReader::Result::NoReply) {
        ShellMessage(this, QStringLiteral("No reply from system"), QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    raise();
    activateWindow();
}

void CLogging2Dlg::OnClearLog()
{
    int deck = 0;
    if (!DeckNumber(&deck))
        return;
    if (ShellMessage(this,
                     QStringLiteral("This will clear all the logged data from deck %1, Continue ?").arg(deck),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return;
    // After a download only what reached a window may go: the deck is
    // counted again just before clearing.
    const auto downloaded = m_downloaded.find(deck);
    int now = 0;
    const auto cleared = downloaded == m_downloaded.end()
                             ? (m_reader.Clear(deck) ? CEventLogReader::ClearResult::Cleared
                                                     : CEventLogReader::ClearResult::NoReply)
                             : m_reader.ClearDownloaded(deck, downloaded->second, &now);
    switch (cleared) {
    case CEventLogReader::ClearResult::Cleared:
        m_result->setText(QStringLiteral("Deck %1 log is cleared").arg(deck));
        m_downloaded.erase(deck);
        break;
    case CEventLogReader::ClearResult::Changed:
        m_result->setText(
            QStringLiteral("Deck %1 log was not cleared: it now holds %2 events, %3 were downloaded")
                .arg(deck)
                .arg(now)
                .arg(downloaded->second));
        break;
    case CEventLogReader::ClearResult::NoReply:
        m_result->setText(QStringLiteral("No reply from deck %1").arg(deck));
        break;
    }
}

void CLogging2Dlg::done(int result)
{
    for (CLogging2ViewDlg* view : findChildren<CLogging2ViewDlg*>()) {
        // A window closed on its own has asked already.
        if (!view->isVisible() || view->Saved())
            continue;
        view->raise();
        const auto answer =
            ShellMessage(view, QStringLiteral("The downloaded events have not been saved, Save now?"),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !view->Export(false)))
            return;
    }
    QDialog::done(result);
}

// ---- Log view ---------------------------------------------------------------

void CLogging2ViewDlg::SetFileChooser(FileChooser chooser)
{
    Chooser() = std::move(chooser);
}

CLogging2ViewDlg::CLogging2ViewDlg(COrvoEventList events, int deck, QWidget* parent, int notDownloaded)
    : QDialog(parent), m_ui(std::make_unique<Ui::CLogging2ViewDlg>()), m_events(std::move(events)),
      m_deck(deck), m_notDownloaded(notDownloaded)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(
        QStringLiteral("Logged events from Deck %1, at %2")
            .arg(deck)
            .arg(QString::fromStdString(FormatLocalTime(std::time(nullptr), "%H:%M, %A, %B %d, %Y"))));
    m_events.SortByTime();
    m_table = std::make_unique<CEventTableModel>(&m_events);
    m_filter = new CEventFilterModel(this);
    m_filter->setSourceModel(m_table.get());

    m_ui->setupUi(this);
    m_text = m_ui->filterText;
    m_useDates = m_ui->useDates;
    m_from = m_ui->fromDate;
    m_to = m_ui->toDate;
    m_door = m_ui->doorFilter;
    m_shown = m_ui->shownCount;
    m_view = m_ui->events;
    m_charts = m_ui->charts;
    auto* exportLog = m_ui->exportLog;
    auto* exportCsv = m_ui->exportCsv;
    auto* close = m_ui->close;

    // The date range starts as the span of the download; the door list holds
    // the doors it mentions.
    QDate first, last;
    std::set<int> doors;
    for (const COrvoEvent& e : m_events.Events()) {
        doors.insert(e.door);
        if (!e.TimeValid())
            continue;
        const QDate d = QDateTime::fromSecsSinceEpoch(e.time).date();
        if (!first.isValid() || d < first)
            first = d;
        if (!last.isValid() || d > last)
            last = d;
    }
    m_from->setDate(first.isValid() ? first : QDate::currentDate());
    m_to->setDate(last.isValid() ? last : QDate::currentDate());
    m_door->addItem(QStringLiteral("All doors"), -1);
    for (int d : doors)
        m_door->addItem(QStringLiteral("Door %1").arg(d), d);

    m_view->setModel(m_filter);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    // No order until a heading is clicked: the rows stay oldest first.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->horizontalHeader()->setSortIndicatorShown(true);
    m_view->setSortingEnabled(true);
    m_view->setColumnWidth(CEventTableModel::DateColumn, 130);
    m_view->setColumnWidth(CEventTableModel::DoorColumn, 60);
    m_view->setColumnWidth(CEventTableModel::FlatColumn, 180);

    connect(m_text, &QLineEdit::textChanged, this, [this] { ApplyFilters(); });
    connect(m_useDates, &QCheckBox::toggled, this, [this](bool on) {
        m_from->setEnabled(on);
        m_to->setEnabled(on);
        ApplyFilters();
    });
    connect(m_from, &QDateEdit::dateChanged, this, [this] { ApplyFilters(); });
    connect(m_to, &QDateEdit::dateChanged, this, [this] { ApplyFilters(); });
    connect(m_door, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
    connect(exportLog, &QPushButton::clicked, this, [this] { Export(false); });
    connect(exportCsv, &QPushButton::clicked, this, [this] { Export(true); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    m_ui->viewSplitter->setStretchFactor(0, 3);
    m_ui->viewSplitter->setStretchFactor(1, 2);
    m_charts->SetFileAsker(
        [](QWidget* parent, const QString& caption, const QString& filter, const QString& suffix) {
            return Chooser() ? Chooser()(parent, caption, filter, suffix)
                             : AskChartFile(parent, caption, filter, suffix);
        });
    connect(m_charts, &CEventChartsPanel::periodClicked, this, &CLogging2ViewDlg::ShowDates);
    m_chartTimer.setSingleShot(true);
    m_chartTimer.setInterval(50);
    connect(&m_chartTimer, &QTimer::timeout, this, &CLogging2ViewDlg::UpdateCharts);
    ApplyFilters();
    UpdateCharts();
}

void CLogging2ViewDlg::UpdateCharts()
{
    m_chartTimer.stop();
    m_chartData.Compute(*m_filter);
    m_charts->Bind(m_chartData);
}

void CLogging2ViewDlg::ShowDates(const QDate& first, const QDate& last)
{
    if (!first.isValid() || !last.isValid())
        return;
    {
        // One filter change for the three controls.
        const QSignalBlocker blockUse(m_useDates), blockFrom(m_from), blockTo(m_to);
        m_useDates->setChecked(true);
        m_from->setEnabled(true);
        m_to->setEnabled(true);
        m_from->setDate(first);
        m_to->setDate(last);
    }
    ApplyFilters();
}

CLogging2ViewDlg::~CLogging2ViewDlg()
{
    // The proxy goes first: it still refers to the table.
    delete m_filter;
}

void CLogging2ViewDlg::ApplyFilters()
{
    m_filter->SetText(m_text->text());
    if (m_useDates->isChecked())
        m_filter->SetDateRange(m_from->date(), m_to->date());
    else
        m_filter->SetDateRange(QDate(), QDate());
    m_filter->SetDoor(m_door->currentData().toInt());
    QString shown = QStringLiteral("%1 of %2 events").arg(m_filter->rowCount()).arg(m_events.Count());
    if (m_notDownloaded > 0)
        shown += QStringLiteral(" (%1 more in the deck's log were not downloaded)").arg(m_notDownloaded);
    m_shown->setText(shown);
    m_chartTimer.start();
}

bool CLogging2ViewDlg::Export(bool csv)
{
    const QString filter = csv ? QStringLiteral("CSV Files (*.csv)") : QStringLiteral("Log Files (*.log)");
    const QString suffix = csv ? QStringLiteral("csv") : QStringLiteral("log");
    QString path;
    if (Chooser()) {
        path = Chooser()(this, QStringLiteral("Export"), filter, suffix);
    } else {
        QFileDialog dialog(this, QString(), QStringLiteral("*.") + suffix, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    if (path.isEmpty())
        return false;
    const std::string text = csv ? EventLogCsv(m_events) : EventLogText(m_events, m_deck, std::time(nullptr));
    std::string reason;
    int number = 0;
    if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), text, &reason, &number)) {
        ShellMessage(this,
                     QStringLiteral("Error %1 writing logging file <%2>\n%3")
                         .arg(number)
                         .arg(path, QString::fromLocal8Bit(reason.c_str())),
                     QMessageBox::Ok, QMessageBox::Information);
        return false;
    }
    ShellMessage(this, QStringLiteral("The logging file <%1> was written sucessfully").arg(path),
                 QMessageBox::Ok, QMessageBox::Information);
    m_saved = true;
    return true;
}

void CLogging2ViewDlg::reject()
{
    close();
}

void CLogging2ViewDlg::closeEvent(QCloseEvent* event)
{
    if (!m_saved &&
        ShellMessage(this, QStringLiteral("The downloaded events have not been saved, Save now?"),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) == QMessageBox::Yes &&
        !Export(false)) {
        event->ignore();
        return;
    }
    event->accept();
}

// ---- Test Logging -------------------------------------------------------------

CTestLoggingDlg::CTestLoggingDlg(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CTestLoggingDlg>()), m_link(*session), m_test(m_link)
{
    m_ui->setupUi(this);
    m_deck = m_ui->deckNumber;
    m_check = m_ui->check;
    m_firmware = m_ui->firmware;
    m_lock = m_ui->lock;
    m_writeLocation = m_ui->writeLocation;
    m_writeValue = m_ui->writeValue;
    m_write = m_ui->write;
    m_readLocation = m_ui->readLocation;
    m_readValue = m_ui->readValue;
    m_read = m_ui->read;
    m_info = m_ui->info;
    for (QLineEdit* edit : {m_deck, m_writeLocation, m_writeValue, m_readLocation})
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    m_info->setText(QString::fromStdString(CLogMemoryTest::OpeningText()));
    auto* close = m_ui->close;

    connect(m_deck, &QLineEdit::textChanged, this, [this] { DeckChanged(); });
    connect(m_check, &QPushButton::clicked, this, [this] { OnCheck(); });
    connect(m_write, &QPushButton::clicked, this, [this] { OnWrite(); });
    connect(m_read, &QPushButton::clicked, this, [this] { OnRead(); });
    connect(m_lock, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_readLocation->setText(m_writeLocation->text());
        UpdateControls();
    });
    connect(m_writeLocation, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_lock->isChecked())
            m_readLocation->setText(text);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    DeckChanged();
}

CTestLoggingDlg::~CTestLoggingDlg() = default;

void CTestLoggingDlg::DeckChanged()
{
    long long deck = 0;
    m_check->setEnabled(ReadNumber(m_deck->text(), &deck));
    m_firmware->clear();
    m_checked = false;
    UpdateControls();
}

void CTestLoggingDlg::UpdateControls()
{
    const bool enabled = m_checked && m_test.Enabled();
    for (QWidget* w : std::initializer_list<QWidget*>{m_write, m_read, m_writeLocation, m_writeValue})
        w->setEnabled(enabled);
    m_readLocation->setEnabled(enabled && !m_lock->isChecked());
}

void CTestLoggingDlg::OnCheck()
{
    long long deck = 0;
    if (!ReadNumber(m_deck->text(), &deck))
        return;
    m_firmware->setText(QString::fromStdString(m_test.Check(deck)));
    m_info->setText(QString::fromStdString(m_test.InfoText()));
    m_checked = true;
    UpdateControls();
}

void CTestLoggingDlg::OnWrite()
{
    long long location = 0, value = 0;
    if (!ReadNumber(m_writeLocation->text(), &location) || !m_test.LocationValid(location)) {
        ShellMessage(this, QStringLiteral("Invalid write location"), QMessageBox::Ok, QMessageBox::Critical);
        m_writeLocation->setFocus();
        return;
    }
    if (!ReadNumber(m_writeValue->text(), &value) || !CLogMemoryTest::ValueValid(value)) {
        ShellMessage(this, QStringLiteral("Invalid write value"), QMessageBox::Ok, QMessageBox::Critical);
        m_writeValue->setFocus();
        return;
    }
    if (!m_test.Write(static_cast<int>(location), static_cast<int>(value)))
        ShellMessage(this, QStringLiteral("Error during random log write operation"));
}

void CTestLoggingDlg::OnRead()
{
    long long location = 0;
    if (!ReadNumber(m_readLocation->text(), &location) || !m_test.LocationValid(location)) {
        ShellMessage(this, QStringLiteral("Invalid read location"), QMessageBox::Ok, QMessageBox::Critical);
        m_readLocation->setFocus();
        return;
    }
    int value = 0;
    m_readValue->clear();
    switch (m_test.Read(static_cast<int>(location), &value)) {
    case CLogMemoryTest::ReadResult::Ok:
        m_readValue->setText(QString::number(value));
        break;
    case CLogMemoryTest::ReadResult::NoReply:
        ShellMessage(this, QStringLiteral("Error during random log read operation"));
        break;
    case CLogMemoryTest::ReadResult::Unreadable:
        ShellMessage(this,
                     QStringLiteral("Error during random log read operation\n"
                                    "The deck's reply held no hexadecimal digit: the value is unknown"));
        break;
    }
}
