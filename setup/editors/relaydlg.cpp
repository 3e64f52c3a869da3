#include "orvoeditors/relaydlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "editortext.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "progresshost.h"
#include "ui_relaychannelpanel.h"
#include "ui_relaydlg.h"

namespace {

int VersionOf(const CDeck* deck, const RelayRecord* relay)
{
    return deck->relayVersions[relay->node.index];
}

int CountOf(const CDeck* deck, const RelayRecord* relay)
{
    return deck->relayCounts[relay->node.index] & 0xFF;
}

void Select(QComboBox* box, const std::optional<int>& index)
{
    // A value outside the list leaves it without a selection.
    box->setCurrentIndex(index && *index < box->count() ? *index : -1);
}

std::optional<int> Selected(const QComboBox* box, const std::optional<int>& read)
{
    if (box->currentIndex() >= 0)
        return box->currentIndex();
    return read; // not shown in the list: what the unit holds goes back unchanged
}

} // namespace

CRelayDlg::CRelayDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, RelayRecord* relay,
                     COrvoSerialConnection* session, bool extended)
    : QDialog(parent), m_ui(std::make_unique<Ui::CRelayDlg>()), m_system(system), m_deck(deck),
      m_relay(relay), m_link(*session), m_extended(extended), m_r(relay->node.index),
      m_unit(m_link, deck->node.index, relay->node.index, VersionOf(deck, relay), CountOf(deck, relay),
             extended, nullptr)
{
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CRelayDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &CRelayDlg::reject);
    m_channels.resize(kRelayMaxChannels);
    for (int i = 0; i < kRelayMaxChannels; ++i)
        BuildPanel(i);
    const int version = m_unit.Version();
    m_ui->relayVersion->setText(QString::asprintf("v%d.%02d", version / 100, version % 100));
    if (m_unit.ReportedChannels() > kRelayMaxChannels) {
        m_ui->channelNote->setText(
            QString::asprintf("This unit reports %d channels; the first four are shown and written.",
                              m_unit.ReportedChannels()));
        m_ui->channelNote->setVisible(true);
    }
}

CRelayDlg::~CRelayDlg() = default;

QGroupBox* CRelayDlg::Panel(int channel) const
{
    return m_channels.at(channel).box;
}

void CRelayDlg::BuildPanel(int i)
{
    Channel& c = m_channels[i];
    c.box = new QGroupBox(this);
    Ui::RelayChannelPanel panel;
    panel.setupUi(c.box);
    c.box->setObjectName(QStringLiteral("channel%1").arg(i));
    // Channel 0 top left, 1 top right, 2 bottom left, 3 bottom right.
    m_ui->channelGrid->addWidget(c.box, i / 2, i % 2);
    c.reverse = panel.reverse;
    c.address = panel.address;
    c.mode = panel.mode;
    c.relayTime = panel.relayTime;
    c.onDelay = panel.onDelay;
    c.drLink = panel.drLink;
    c.allowList = panel.allowList;
    c.blockList = panel.blockList;
    c.allowMark = IncompleteMark(c.box, "allowListIncomplete");
    c.blockMark = IncompleteMark(c.box, "blockListIncomplete");
    panel.panelLayout->addWidget(c.allowMark, 6, 2, Qt::AlignTop);
    panel.panelLayout->addWidget(c.blockMark, 7, 2, Qt::AlignTop);
    c.allowMark->hide();
    c.blockMark->hide();
    c.box->setEnabled(false);

    connect(c.reverse, &QCheckBox::toggled, this, [this, i] { UpdateReverseCaption(i); });
    connect(c.reverse, &QCheckBox::clicked, this, [this, i] { m_channels[i].reverseTouched = true; });
    connect(c.mode, &QComboBox::activated, this,
            [this, i](int index) { m_channels[i].drLink->setEnabled(index == 1); });
    connect(c.allowList, &QPlainTextEdit::textChanged, this, [this, i] {
        LimitList(m_channels[i].allowList);
        if (!m_filling)
            m_channels[i].allowTouched = true;
    });
    connect(c.blockList, &QPlainTextEdit::textChanged, this, [this, i] {
        LimitList(m_channels[i].blockList);
        if (!m_filling)
            m_channels[i].blockTouched = true;
    });
}

void CRelayDlg::UpdateReverseCaption(int i)
{
    QCheckBox* box = m_channels[i].reverse;
    box->setText(box->isChecked() ? QStringLiteral("Reverse Relay (EDR Disabled)")
                                  : QStringLiteral("Reverse Relay"));
}

void CRelayDlg::LimitList(QPlainTextEdit* edit)
{
    const QString text = edit->toPlainText();
    if (text.size() <= m_unit.ListLength())
        return;
    QSignalBlocker block(edit);
    edit->setPlainText(text.left(m_unit.ListLength()));
    edit->moveCursor(QTextCursor::End);
    QApplication::beep();
}

void CRelayDlg::FillLists(int i)
{
    Channel& c = m_channels[i];
    c.address->clear();
    c.address->addItem(QStringLiteral("Address Links + %1").arg(i));
    for (int a = 0; a < 32; ++a)
        c.address->addItem(QString::number(a));
    c.relayTime->clear();
    c.relayTime->addItem(QStringLiteral("External"));
    c.relayTime->addItem(QStringLiteral("1 Second"));
    for (int s = 2; s <= 255; ++s)
        c.relayTime->addItem(QStringLiteral("%1 Seconds").arg(s));
    c.mode->clear();
    c.mode->addItems({QStringLiteral("Default"), QStringLiteral("Unlock 2"), QStringLiteral("Hearing Loop")});
    c.onDelay->clear();
    if (m_unit.HasOnDelay()) {
        c.onDelay->addItem(QStringLiteral("Disabled"));
        for (int s = 1; s <= 254; ++s)
            c.onDelay->addItem(QStringLiteral("%1 Seconds").arg(s));
    }
    c.drLink->clear();
    c.drLink->addItem(QStringLiteral("Off"));
    for (int d = 0; d < 16; ++d)
        c.drLink->addItem(QStringLiteral("Door %1").arg(d));
    for (QComboBox* box : {c.address, c.relayTime, c.mode, c.onDelay, c.drLink})
        box->setCurrentIndex(-1);
}

void CRelayDlg::ShowChannel(int i)
{
    Channel& c = m_channels[i];
    const RelayChannelSettings& s = c.read;
    c.reverse->setChecked(s.reverse.value_or(false));
    UpdateReverseCaption(i);
    Select(c.address, s.address);
    Select(c.relayTime, s.relayTime);
    Select(c.mode, s.mode);
    Select(c.onDelay, s.onDelay);
    Select(c.drLink, s.drLink);
    c.onDelay->setEnabled(m_unit.HasOnDelay());
    c.drLink->setEnabled(s.mode == 1);
    // A list with a chunk missing shows the chunks that came, marked; it is
    // written only once the installer changes it.
    m_filling = true;
    c.allowList->setPlainText(TextFromModel(s.allowList.value_or(s.allowPartial.value_or(std::string()))));
    c.blockList->setPlainText(TextFromModel(s.blockList.value_or(s.blockPartial.value_or(std::string()))));
    m_filling = false;
    c.allowMark->setVisible(s.allowPartial.has_value());
    c.blockMark->setVisible(s.blockPartial.has_value());
}

bool CRelayDlg::ReadUnit()
{
    for (Channel& c : m_channels)
        c.box->setEnabled(false);
    CProgressHost host(this, QString::asprintf("Reading Relay %d on deck %d", m_r, m_unit.Deck()));
    CRelayUnit unit(m_link, m_unit.Deck(), m_r, m_unit.Version(), m_unit.ReportedChannels(), m_extended,
                    &host);
    if (!unit.Enquire()) {
        ShowError(QString::asprintf("Relay %d on Deck %d not found", m_r, m_unit.Deck()));
        return false;
    }
    host.SetRange(0, unit.Channels() * (5 + 2 * (unit.ListLength() / kRelayListChunk)));
    for (int i = 0; i < unit.Channels(); ++i) {
        Channel& c = m_channels[i];
        c.box->setTitle(QStringLiteral("Relay %1").arg(m_r + i));
        c.box->setEnabled(true);
        FillLists(i);
        unit.ReadChannel(i, &c.read);
        c.reverseTouched = c.allowTouched = c.blockTouched = false;
        ShowChannel(i);
    }
    return true;
}

RelayChannelSettings CRelayDlg::Settings(int i) const
{
    const Channel& c = m_channels[i];
    RelayChannelSettings s;
    if (c.read.reverse || c.reverseTouched)
        s.reverse = c.reverse->isChecked();
    s.address = Selected(c.address, c.read.address);
    s.relayTime = Selected(c.relayTime, c.read.relayTime);
    s.mode = Selected(c.mode, c.read.mode);
    s.onDelay = Selected(c.onDelay, c.read.onDelay);
    s.drLink = Selected(c.drLink, c.read.drLink);
    // A list whose read was declined is written only once the installer has typed it.
    if (c.read.allowList || c.allowTouched)
        s.allowList = TextToModel(c.allowList->toPlainText());
    if (c.read.blockList || c.blockTouched)
        s.blockList = TextToModel(c.blockList->toPlainText());
    return s;
}

void CRelayDlg::ShowError(const QString& text)
{
    ShellMessage(this, text, QMessageBox::Ok, QMessageBox::Critical, QStringLiteral("Error"));
}

void CRelayDlg::accept()
{
    const int channels = m_unit.Channels();
    std::vector<RelayChannelSettings> settings;
    for (int i = 0; i < channels; ++i) {
        const Channel& c = m_channels[i];
        for (const QPlainTextEdit* edit : {c.allowList, c.blockList}) {
            if (!CRelayUnit::ListTextValid(TextToModel(edit->toPlainText()))) {
                ShowError(QStringLiteral("Invalid Character"));
                return;
            }
        }
        settings.push_back(Settings(i));
    }
    {
        CProgressHost host(this, QString::asprintf("Writing Relay %d on deck %d", m_r, m_unit.Deck()));
        CRelayUnit unit(m_link, m_unit.Deck(), m_r, m_unit.Version(), m_unit.ReportedChannels(), m_extended,
                        &host);
        if (!unit.Enquire()) {
            ShowError(QString::asprintf("Relay %d on Deck %d not found", m_r, m_unit.Deck()));
            return;
        }
        unit.WriteAll(settings);
        // The unit was not written (the host has said so): the installer's
        // values stay on screen rather than passing for stored.
        if (unit.Lost())
            return;
    }
    QDialog::accept();
}
