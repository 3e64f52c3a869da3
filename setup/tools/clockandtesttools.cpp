#include "orvotools/clockandtesttools.h"

#include "ui_testdlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include "orvomodel/modeltext.h"
#include "orvoprocedures/broadcasts.h"
#include "orvoprocedures/servicetools.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/orvoserialconnection.h"
#include "wendrel/vocabulary.h"

namespace {

QPushButton* Button(QWidget* parent, const QString& caption, const char* name)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// The whole text as a decimal number.
bool ReadNumber(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

// ---- Real Time Clock ------------------------------------------------------------

CRtcDlg::CRtcDlg(COrvoSerialConnection* session, QWidget* parent) : QDialog(parent), m_link(*session)
{
    setWindowTitle(QStringLiteral("Real Time Clock"));
    auto* group = new QGroupBox(QStringLiteral("Target Deck"), this);
    auto* grid = new QGridLayout(group);
    m_deck = new QLineEdit(group);
    m_deck->setObjectName(QStringLiteral("deckNumber"));
    m_deck->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_deck));
    m_deck->setMaxLength(3);
    m_get = Button(group, QStringLiteral("Get"), "get");
    m_result = new QLabel(group);
    m_result->setObjectName(QStringLiteral("result"));
    grid->addWidget(new QLabel(QStringLiteral("Deck number"), group), 0, 0);
    grid->addWidget(m_deck, 0, 1);
    grid->addWidget(m_get, 0, 2);
    grid->addWidget(m_result, 1, 0, 1, 3);
    auto* sync = Button(this, QStringLiteral("Sync"), "sync");
    auto* close = Button(this, QStringLiteral("Close"), "close");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(sync);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    auto update = [this] {
        int deck = 0;
        m_get->setEnabled(ReadNumber(m_deck->text(), &deck));
    };
    connect(m_deck, &QLineEdit::textChanged, this, update);
    connect(m_get, &QPushButton::clicked, this, [this] { OnGet(); });
    connect(sync, &QPushButton::clicked, this, [this] { OnSync(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    update();
}

void CRtcDlg::OnGet()
{
    m_result->clear();
    int deck = 0;
    if (!ReadNumber(m_deck->text(), &deck)) {
        m_result->setText(QStringLiteral("Enter a valid deck number"));
        return;
    }
    std::time_t time = 0;
    const ClockReply reply = ReadDeckClock(m_link, deck, &time);
    m_result->setText(QString::fromStdString(DeckClockText(deck, reply, time)));
}

void CRtcDlg::OnSync()
{
    std::time_t sent = 0;
    const bool ok = CInstallationBroadcasts(m_link).SyncClocks(&sent);
    m_result->setText(QString::fromStdString(SyncText(ok, sent)));
}

// ---- Test message -----------------------------------------------------------------

CTestDlg::CTestDlg(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CTestDlg>()), m_link(*session)
{
    m_ui->setupUi(this);
    m_message = m_ui->message;
    for (const MessageEntry& entry : TestMessageEntries())
        m_message->addItem(QString::fromStdString(entry.text), entry.code);
    m_message->setCurrentIndex(0);
    m_srcDeck = m_ui->sourceDeck;
    m_srcNode = m_ui->sourceNode;
    m_srcType = m_ui->sourceType;
    m_dstDeck = m_ui->destinationDeck;
    m_dstNode = m_ui->destinationNode;
    m_dstType = m_ui->destinationType;
    m_count = m_ui->nparam;
    m_params = {m_ui->param0, m_ui->param1, m_ui->param2, m_ui->param3, m_ui->param4,  m_ui->param5,
                m_ui->param6, m_ui->param7, m_ui->param8, m_ui->param9, m_ui->param10, m_ui->param11};
    for (int type = 0; type < 8; ++type) {
        m_srcType->addItem(QString::fromLatin1(NodeTypeString(type)), type);
        m_dstType->addItem(QString::fromLatin1(NodeTypeString(type)), type);
    }
    m_srcType->setCurrentIndex(4);
    m_dstType->setCurrentIndex(0);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit != m_message->lineEdit())
            edit->setValidator(new QIntValidator(0, 255, edit));

    connect(m_ui->send, &QPushButton::clicked, this, [this] { OnSend(); });
    connect(m_ui->close, &QPushButton::clicked, this, &QDialog::accept);
}

CTestDlg::~CTestDlg() = default;

void CTestDlg::OnSend()
{
    TestMessageFields fields;
    if (!ResolveMessageCode(m_message->currentText().toStdString(), &fields.code)) {
        ShellMessage(this, QStringLiteral("Not a valid Orvo message"), QMessageBox::Ok, QMessageBox::Critical,
                     QString());
        return;
    }
    if (m_srcType->currentIndex() < 0 || m_dstType->currentIndex() < 0) {
        ShellMessage(this, QStringLiteral("Not a valid Orvo node type"), QMessageBox::Ok,
                     QMessageBox::Critical, QString());
        return;
    }
    auto value = [](QLineEdit* edit) {
        int v = 0;
        ReadNumber(edit->text(), &v);
        return v;
    };
    fields.srcDeck = value(m_srcDeck);
    fields.srcNode = value(m_srcNode);
    fields.srcType = m_srcType->currentData().toInt();
    fields.dstDeck = value(m_dstDeck);
    fields.dstNode = value(m_dstNode);
    fields.dstType = m_dstType->currentData().toInt();
    fields.count = value(m_count);
    for (size_t i = 0; i < 12; ++i)
        fields.params[i] = value(m_params[i]);
    // Three digits let "300" through; cut to a byte it would go out as 44.
    const std::string refusal = TestMessageRefusal(fields);
    if (!refusal.empty()) {
        ShellMessage(this, QString::fromStdString(refusal), QMessageBox::Ok, QMessageBox::Critical,
                     QStringLiteral("Error"));
        return;
    }
    m_ui->reply->clear();
    _orvo_msg reply{};
    const bool replied = CInstallationBroadcasts(m_link).SendTestMessage(fields, &reply);
    m_ui->reply->setText(QString::fromStdString(TestReplyText(replied, reply)));
}

// ---- Key-tag search -----------------------------------------------------------------

CTestRfidTagDlg::CTestRfidTagDlg(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_link(*session)
{
    setWindowTitle(QStringLiteral("Test RFID Tags"));
    m_tag = new QLineEdit(this);
    m_tag->setObjectName(QStringLiteral("tagNumber"));
    m_tag->setMaxLength(10);
    m_check = Button(this, QStringLiteral("Check"), "check");
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("result"));
    m_result->setMinimumHeight(m_result->fontMetrics().height() * 4);
    auto* close = Button(this, QStringLiteral("Close"), "close");
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Tag Number"), this), 0, 0);
    grid->addWidget(m_tag, 0, 1);
    grid->addWidget(m_check, 0, 2);
    grid->addWidget(m_result, 1, 0, 1, 3);
    grid->addWidget(close, 2, 2);

    auto update = [this] { m_check->setEnabled(ValidTagNumber(m_tag->text().toStdString())); };
    connect(m_tag, &QLineEdit::textChanged, this, update);
    connect(m_check, &QPushButton::clicked, this, [this] { OnCheck(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    update();
}

void CTestRfidTagDlg::OnCheck()
{
    const std::string tag = m_tag->text().toStdString();
    if (!ValidTagNumber(tag)) {
        ShellMessage(this, QStringLiteral("Key tag value is invalid"), QMessageBox::Ok, QMessageBox::Critical,
                     QStringLiteral("Error"));
        return;
    }
    const TagSearch result = FindKeyTag(m_link, tag);
    // The flat address is model text; the rest is plain ASCII.
    m_result->setText(TextFromModel(TagSearchText(tag, result)));
    m_tag->setFocus();
}

// ---- EMC ----------------------------------------------------------------------

CEMCTestInfo::CEMCTestInfo(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_link(*session)
{
    setWindowTitle(QStringLiteral("EMC Info"));
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("value"));
    // The count is read from across the room while the tests run: large print.
    QFont large = m_value->font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    large.setBold(true);
    m_value->setFont(large);
    m_value->setMinimumWidth(QFontMetrics(large).horizontalAdvance(QStringLiteral("00000")));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Number of DR"), this));
    row->addWidget(m_value, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumSize(300, 140);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
    m_timer->start();
}

void CEMCTestInfo::OnTimer()
{
    int value = 0;
    if (PollEmcCounter(m_link, &value))
        m_value->setText(QString::number(value));
    // The next poll starts a second after this one ended, however long it took.
    m_timer->start();
}

// ---- Add-on module ---------------------------------------------------------------

CKX7SetupDlg::CKX7SetupDlg(COrvoSerialConnection* session, QWidget* parent)
    : QDialog(parent), m_link(*session)
{
    setWindowTitle(QStringLiteral("KX7 Setup"));
    auto* doorsGroup = new QGroupBox(QStringLiteral("Doors"), this);
    auto* doorsLayout = new QVBoxLayout(doorsGroup);
    m_doors = new QLineEdit(doorsGroup);
    m_doors->setObjectName(QStringLiteral("doors"));
    m_doors->setPlaceholderText(QStringLiteral("1,2,3,4"));
    m_doors->setToolTip(QStringLiteral("Four door numbers separated by commas, for example 1,2,3,4"));
    doorsLayout->addWidget(m_doors);
    auto* modeGroup = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeLayout = new QVBoxLayout(modeGroup);
    const char* names[3] = {"Default", "TR8", "TR5"};
    for (int i = 0; i < 3; ++i) {
        m_modes[i] = new QRadioButton(QLatin1String(names[i]), modeGroup);
        m_modes[i]->setObjectName(QLatin1String("mode") + QLatin1String(names[i]));
        modeLayout->addWidget(m_modes[i]);
    }
    m_modes[0]->setChecked(true);
    m_send = Button(this, QStringLiteral("Send"), "send");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(doorsGroup);
    layout->addWidget(modeGroup);
    layout->addWidget(m_send);
    connect(m_send, &QPushButton::clicked, this, [this] { OnSend(); });
}

void CKX7SetupDlg::OnSend()
{
    std::array<int, 4> doors{};
    const ModuleDoorsParse parse = ParseModuleDoors(m_doors->text().toStdString(), &doors);
    if (parse != ModuleDoorsParse::Ok) {
        ShellMessage(this, QString::fromStdString(ModuleDoorsRefusal(parse)), QMessageBox::Ok,
                     QMessageBox::Critical, QStringLiteral("Error"));
        return;
    }
    int mode = 0;
    for (int i = 0; i < 3; ++i)
        if (m_modes[i]->isChecked())
            mode = i;
    SendModuleParameters(m_link, doors, mode);
    m_send->setEnabled(false);
    QTimer::singleShot(2000, m_send, [send = m_send] { send->setEnabled(true); });
}
