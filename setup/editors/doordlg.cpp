#include "orvoeditors/doordlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

#include <vector>

#include "doorfields.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "progresshost.h"
#include "ui_doordlg.h"

int DoorTarget::DeckNumber() const
{
    return deck ? deck->node.index : 0;
}

int DoorTarget::DoorNumber() const
{
    return door ? door->node.index : 0;
}

int DoorTarget::Version() const
{
    const int n = DoorNumber();
    return deck && n >= 0 && n < kDoorsPerDeck ? deck->doorVersions[n] : 0;
}

bool WritePanel(QWidget* dialog, const DoorTarget& target, int version, const QString& title,
                const std::function<void(CDoorPanel&)>& write)
{
    bool lost = false;
    std::vector<DoorWriteFailure> notTaken;
    {
        CProgressHost progress(dialog->parentWidget(), title);
        OnlinePanel online(target, version, &progress);
        write(online.panel);
        lost = online.panel.Lost();
        notTaken = online.panel.NotTaken();
    }
    if (lost)
        return false;
    if (notTaken.empty())
        return true;
    QStringList settings;
    for (const DoorWriteFailure& failure : notTaken)
        settings << QString::fromLatin1(failure.setting);
    ShellMessage(dialog,
                 QStringLiteral("Door %1 on deck %2 did not take:\n%3\n\n"
                                "Nothing was stored in the model. OK sends the settings again; Cancel closes "
                                "the editor.")
                     .arg(target.DoorNumber())
                     .arg(target.DeckNumber())
                     .arg(settings.join(QLatin1Char('\n'))),
                 QMessageBox::Ok, QMessageBox::Critical, QStringLiteral("Error"));
    return false;
}

namespace {

const char* const kListCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789,- ";

// Text for the model; a character the code page lacks becomes '?' with a beep.
std::string ToModel(const QString& text)
{
    bool replaced = false;
    std::string bytes = TextToModel(text, &replaced);
    if (replaced)
        QApplication::beep();
    return bytes;
}

void FillLockTime(QComboBox* list)
{
    list->addItem(QStringLiteral("Variable"));
    list->addItem(QStringLiteral("1 Second"));
    for (int s = 2; s <= 255; ++s)
        list->addItem(QStringLiteral("%1 Seconds").arg(s));
}

void FillVaVolume(QComboBox* list, DoorFirmware fw)
{
    static const char* const kOptions[] = {
        "0 / Reader",     "1 / LCM 0-15", "2 / LCM 16-31", "3 / LCM 32-47", "4 / LCM 48-63",
        "5 / RF-RX",      "6 / CB Trig.", "7 / X Trig.",   "8 / DR & In",   "9 / LiftReader",
        "10 / No Answer", "11 / Door on", "12 / Unlock 2"};
    for (int i = 0; i < 64; ++i)
        list->addItem(fw.VaNames() && i < 13 ? QString::fromLatin1(kOptions[i]) : QString::number(i));
}

void FillLanguage(QComboBox* list, DoorFirmware fw)
{
    if (fw.FiveLanguages())
        list->addItems({QStringLiteral("Off - English Only"), QStringLiteral("On - English Default"),
                        QStringLiteral("On - French Default"), QStringLiteral("On - German Default"),
                        QStringLiteral("On - Spanish Default")});
    else
        list->addItems({QStringLiteral("Off"), QStringLiteral("On")});
}

// A value the list has no entry for leaves it without a selection, and says
// the value in the empty list; OK then keeps it (ListValue).
void Select(QComboBox* list, const std::optional<int>& value)
{
    if (!value)
        return;
    if (*value >= 0 && *value < list->count())
        list->setCurrentIndex(*value);
    else if (list->count() > 0)
        list->setPlaceholderText(QStringLiteral("%1 (kept as it is)").arg(*value));
}

// What OK takes of a list: the installer's entry, else the value read (from
// the panel or the model) that the list has no entry for, so it goes back as
// it came; empty when the read got no reply or the firmware lacks the list.
std::optional<int> ListValue(const QComboBox* list, const std::optional<int>& read)
{
    if (list->currentIndex() >= 0)
        return list->currentIndex();
    if (list->count() > 0)
        return read;
    return std::nullopt;
}

// The model's settings in the form the panel gives them.
DoorPanelSettings FromModel(const DoorRecord& d)
{
    DoorPanelSettings s;
    s.serialNo = d.serialNo;
    s.language = d.language;
    s.lockTime = d.lockTime;
    s.vaVolume = d.vaVolume;
    s.mode = d.mode;
    s.drLink = d.drLink;
    s.inOption = d.inOption;
    s.speedDialNo = d.speedDialNo;
    s.speedDialDisplay = d.speedDialDisplay;
    s.reverseRelay = d.reverseRelay != 0;
    s.allowList = d.allowList;
    s.blockList = d.blockList;
    return s;
}

} // namespace

CDoorDlg::CDoorDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                   COrvoSerialConnection* session, bool online, bool administrator)
    : QDialog(parent), m_ui(std::make_unique<Ui::CDoorDlg>()), m_target{system, deck, door, session, online},
      m_administrator(administrator)
{
    m_v = m_target.Version();
    m_listLength = DoorFirmware(m_v).ListLength();
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CDoorDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &CDoorDlg::reject);
    connect(m_ui->welcomeScreen, &QPushButton::clicked, this, &CDoorDlg::OnWelcomeScreen);
    connect(m_ui->blockSelect, &QPushButton::clicked, this, &CDoorDlg::OnBlockSelect);
    connect(m_ui->customText, &QPushButton::clicked, this, &CDoorDlg::OnCustomText);
    connect(m_ui->progKeys, &QPushButton::clicked, this, &CDoorDlg::OnProgKeys);
    connect(m_ui->codedAccess, &QPushButton::clicked, this, &CDoorDlg::OnCodedAccess);
    Initialise();
    connect(m_ui->mode, qOverload<int>(&QComboBox::currentIndexChanged), this, &CDoorDlg::OnModeChanged);
}

CDoorDlg::~CDoorDlg() = default;

void CDoorDlg::Initialise()
{
    const int v = m_v;
    const DoorFirmware fw(v);
    const DoorRecord& door = *m_target.door;
    CProgressHost progress(
        parentWidget(),
        QStringLiteral("Reading Door %1 on deck %2").arg(m_target.DoorNumber()).arg(m_target.DeckNumber()));
    DoorPanelSettings s;
    if (m_target.online) {
        s = OnlinePanel(m_target, v, &progress).panel.ReadSettings();
    } else {
        s = FromModel(door);
    }
    m_read = s;
    m_ui->doorVersion->setText(QString::asprintf("v%d.%02d", v / 100, v % 100));
    m_ui->description->setText(TextFromModel(door.description));

    if (!fw.Settings()) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{m_ui->serialNo, m_ui->blockSelect, m_ui->welcomeScreen,
                                             m_ui->lockTime, m_ui->vaVolume, m_ui->language, m_ui->progKeys})
            w->setEnabled(false);
        // The Mode list stays empty and the Coded Access button keeps its caption.
    } else {
        ShowWhole(m_ui->serialNo, TextFromModel(s.serialNo.value_or(std::string())), 6);
        FillLockTime(m_ui->lockTime);
        FillVaVolume(m_ui->vaVolume, fw);
        FillLanguage(m_ui->language, fw);
        m_ui->mode->addItems({QStringLiteral("Digital"), QStringLiteral("Coded Access"),
                              QStringLiteral("Functional"), QStringLiteral("One Way")});
        for (QComboBox* list : {m_ui->lockTime, m_ui->vaVolume, m_ui->language, m_ui->mode})
            list->setCurrentIndex(-1);
        Select(m_ui->language, s.language);
        Select(m_ui->lockTime, s.lockTime);
        Select(m_ui->vaVolume, s.vaVolume);
        if (!m_target.online || fw.Mode())
            Select(m_ui->mode, s.mode);
        if (fw.Mode()) {
            m_ui->mode->setEnabled(true);
            ApplyModeEffects(true);
        } else {
            m_ui->mode->setEnabled(false);
            m_ui->codedAccess->setText(QStringLiteral("Code/Speed Dial"));
        }
        m_ui->serialNo->setEnabled(m_administrator);
    }
    if (fw.DrLink()) {
        m_ui->drLink->addItem(QStringLiteral("Off"));
        for (int d = 0; d < 16; ++d)
            m_ui->drLink->addItem(QStringLiteral("Door %1").arg(d));
        m_ui->drLink->setCurrentIndex(-1);
        Select(m_ui->drLink, s.drLink);
    } else {
        m_ui->drLink->setEnabled(false);
    }
    if (fw.FullDisplay()) {
        m_ui->inOption->addItems({QStringLiteral("Handset Door Release"), QStringLiteral("Request to Exit")});
        m_ui->inOption->setCurrentIndex(-1);
        Select(m_ui->inOption, s.inOption);
    } else {
        m_ui->inOption->setEnabled(false);
    }
    m_ui->speedDial->setEnabled(fw.SpeedDial());
    if (fw.SpeedDial())
        ShowWhole(m_ui->speedDial, TextFromModel(s.speedDialNo.value_or(std::string())), 4);
    m_ui->speedDialDisplay->setEnabled(fw.FullDisplay());
    if (fw.FullDisplay())
        ShowWhole(m_ui->speedDialDisplay, TextFromModel(s.speedDialDisplay.value_or(std::string())), 16);
    const bool reverse = fw.ReverseRelay();
    m_ui->reverseRelay->setEnabled(reverse);
    m_ui->reverseRelay->setChecked(reverse && s.reverseRelay.value_or(false));
    connect(m_ui->reverseRelay, &QCheckBox::clicked, this, [this] { m_reverseClicked = true; });
    if (fw.Lists()) {
        // A list with a chunk missing shows the chunks that came, marked.
        m_ui->allowList->setPlainText(
            TextFromModel(s.allowList.value_or(s.allowPartial.value_or(std::string()))));
        m_ui->blockList->setPlainText(
            TextFromModel(s.blockList.value_or(s.blockPartial.value_or(std::string()))));
        if (s.allowPartial)
            m_ui->accessGrid->addWidget(IncompleteMark(this, "allowListIncomplete"), 0, 2, Qt::AlignTop);
        if (s.blockPartial)
            m_ui->accessGrid->addWidget(IncompleteMark(this, "blockListIncomplete"), 1, 2, Qt::AlignTop);
        connect(m_ui->allowList, &QPlainTextEdit::textChanged, this, [this] { m_allowTyped = true; });
        connect(m_ui->blockList, &QPlainTextEdit::textChanged, this, [this] { m_blockTyped = true; });
        if (m_target.online) {
            LimitList(m_ui->allowList);
            LimitList(m_ui->blockList);
        }
    } else {
        m_ui->allowList->setEnabled(false);
        m_ui->blockList->setEnabled(false);
    }
    m_ui->customText->setEnabled(fw.CustomText());
    if (door.reader) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_ui->progKeys, m_ui->welcomeScreen,
                                                          m_ui->blockSelect, m_ui->customText})
            w->setEnabled(false);
    }
    m_initialised = true;
}

void CDoorDlg::LimitList(QObject* object)
{
    auto* edit = static_cast<QPlainTextEdit*>(object);
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
        const QString text = edit->toPlainText();
        if (text.size() <= m_listLength)
            return;
        QSignalBlocker block(edit);
        edit->setPlainText(text.left(m_listLength));
        QTextCursor cursor = edit->textCursor();
        cursor.movePosition(QTextCursor::End);
        edit->setTextCursor(cursor);
        QApplication::beep();
    });
}

void CDoorDlg::ApplyModeEffects(bool opening)
{
    if (!DoorFirmware(m_v).Mode())
        return;
    switch (m_ui->mode->currentIndex()) {
    case 0:
        m_ui->codedAccess->setText(QStringLiteral("Coded Access"));
        m_ui->codedAccess->setEnabled(true);
        m_ui->blockSelect->setEnabled(true);
        break;
    case 1:
        m_ui->codedAccess->setText(QStringLiteral("Coded Access"));
        m_ui->codedAccess->setEnabled(true);
        m_ui->blockSelect->setEnabled(false);
        break;
    case 2:
        m_ui->codedAccess->setText(QStringLiteral("Speed Dial"));
        m_ui->codedAccess->setEnabled(true);
        m_ui->blockSelect->setEnabled(!opening);
        break;
    case 3:
        m_ui->codedAccess->setEnabled(false);
        m_ui->blockSelect->setEnabled(false);
        break;
    default:
        break;
    }
}

void CDoorDlg::OnModeChanged(int)
{
    ApplyModeEffects(false);
}

bool CDoorDlg::ListValid(const QString& text) const
{
    const QString allowed = QString::fromLatin1(kListCharacters);
    for (QChar c : text)
        if (!allowed.contains(c))
            return false;
    return true;
}

void CDoorDlg::accept()
{
    const int v = m_v;
    const DoorFirmware fw(v);
    DoorRecord& door = *m_target.door;
    const QString allowText = m_ui->allowList->toPlainText();
    const QString blockText = m_ui->blockList->toPlainText();
    if (fw.Lists()) {
        const char* refusal = !ListValid(allowText)   ? "Invalid Allow List Character"
                              : !ListValid(blockText) ? "Invalid Block List Character"
                                                      : nullptr;
        if (refusal) {
            ShellMessage(this, QString::fromLatin1(refusal), QMessageBox::Ok, QMessageBox::Critical,
                         QStringLiteral("Error"));
            return;
        }
    }
    const QString title =
        QStringLiteral("Writing Door %1 on deck %2").arg(m_target.DoorNumber()).arg(m_target.DeckNumber());
    // On line, a text the panel gave no value for is sent and stored only
    // once the installer has typed into its field. Off line every value came
    // from the model; a setting the firmware lacks is never sent and its
    // field stores what it shows.
    const bool offline = !m_target.online;
    const std::optional<std::string> serialNo =
        Given(offline || !fw.Settings() || m_read.serialNo, m_ui->serialNo, ToModel(m_ui->serialNo->text()));
    const std::optional<std::string> speedDialNo = Given(offline || !fw.SpeedDial() || m_read.speedDialNo,
                                                         m_ui->speedDial, ToModel(m_ui->speedDial->text()));
    const std::optional<std::string> speedDialDisplay =
        Given(offline || !fw.FullDisplay() || m_read.speedDialDisplay, m_ui->speedDialDisplay,
              ToModel(m_ui->speedDialDisplay->text()));
    const std::string allowList = ToModel(allowText);
    const std::string blockList = ToModel(blockText);
    const bool reverseKnown =
        offline || !fw.ReverseRelay() || m_read.reverseRelay.has_value() || m_reverseClicked;
    // A list still without a selection goes back with the value read when
    // it has no entry for it, and is left out when its read got no reply.
    const std::optional<int> language = ListValue(m_ui->language, m_read.language);
    const std::optional<int> lockTime = ListValue(m_ui->lockTime, m_read.lockTime);
    const std::optional<int> vaVolume = ListValue(m_ui->vaVolume, m_read.vaVolume);
    const std::optional<int> mode = ListValue(m_ui->mode, m_read.mode);
    const std::optional<int> drLink = ListValue(m_ui->drLink, m_read.drLink);
    const std::optional<int> inOption = ListValue(m_ui->inOption, m_read.inOption);
    if (m_target.online) {
        DoorPanelSettings w;
        w.serialNo = serialNo;
        w.language = language;
        w.lockTime = lockTime;
        w.vaVolume = vaVolume;
        w.mode = mode;
        w.drLink = drLink;
        w.inOption = inOption;
        w.speedDialNo = speedDialNo;
        w.speedDialDisplay = speedDialDisplay;
        if (reverseKnown)
            w.reverseRelay = m_ui->reverseRelay->isChecked();
        // A list the panel gave only in part is written once edited.
        if (m_read.allowList || m_allowTyped)
            w.allowList = allowList;
        if (m_read.blockList || m_blockTyped)
            w.blockList = blockList;
        // The panel was not written, or not all of it (the installer has been
        // told): the installer's values stay on screen and out of the model
        // rather than passing for stored.
        if (!WritePanel(this, m_target, v, title, [&w](CDoorPanel& panel) { panel.WriteSettings(w); }))
            return;
    } else {
        CProgressHost progress(parentWidget(), title);
        if (fw.Settings())
            door.mode = mode.value_or(0x0F) & 0x0F;
        if (fw.Lists()) {
            door.allowList = allowList;
            door.blockList = blockList;
        }
    }
    // The model takes what the dialog sent. Off line a list without a value
    // (the firmware lacks it) stores the all-ones mark; on line such a list
    // keeps the model's value.
    auto store = [offline](int32_t& field, const std::optional<int>& value, int mask) {
        if (value)
            field = *value & mask;
        else if (offline)
            field = mask;
    };
    door.description = ToModel(m_ui->description->text());
    if (reverseKnown)
        door.reverseRelay = m_ui->reverseRelay->isChecked() ? 1 : 0;
    store(door.lockTime, lockTime, 0xFF);
    store(door.language, language, 0x0F);
    store(door.vaVolume, vaVolume, 0x3F);
    store(door.drLink, drLink, 0x1F);
    store(door.inOption, inOption, 0x1F);
    if (speedDialNo)
        door.speedDialNo = *speedDialNo;
    if (speedDialDisplay)
        door.speedDialDisplay = *speedDialDisplay;
    if (serialNo)
        door.serialNo = *serialNo;
    QDialog::accept();
}

void CDoorDlg::OnWelcomeScreen()
{
    CDoorWelcomeScreenDlg dlg(this, m_target.system, m_target.deck, m_target.door, m_target.session,
                              m_target.online);
    if (dlg.exec() == QDialog::Accepted)
        m_subEditorChanged = true;
}

void CDoorDlg::OnBlockSelect()
{
    CDoorBlockSelectDlg dlg(this, m_target.system, m_target.deck, m_target.door, m_target.session,
                            m_target.online, m_v);
    if (dlg.exec() == QDialog::Accepted)
        m_subEditorChanged = true;
}

void CDoorDlg::OnCustomText()
{
    CDoorCustomTextDlg dlg(this, m_target.system, m_target.deck, m_target.door, m_target.session,
                           m_target.online);
    if (dlg.exec() == QDialog::Accepted)
        m_subEditorChanged = true;
}

void CDoorDlg::OnProgKeys()
{
    // On line the keys the panel holds go into the model when the editor
    // opens, so even a cancelled run may have changed the door.
    std::vector<std::string> before;
    for (const auto& key : m_target.door->progKeys)
        before.push_back(key.number);
    CDoorProgKeysDlg dlg(this, m_target.system, m_target.deck, m_target.door, m_target.session,
                         m_target.online);
    const bool accepted = dlg.exec() == QDialog::Accepted;
    bool same = true;
    for (size_t k = 0; k < before.size(); ++k)
        same = same && before[k] == m_target.door->progKeys[k].number;
    if (accepted || !same)
        m_subEditorChanged = true;
}

void CDoorDlg::OnCodedAccess()
{
    CDoorCodedAccessDlg dlg(this, m_target.system, m_target.deck, m_target.door, m_target.session,
                            m_target.online, m_ui->mode->currentIndex());
    if (dlg.exec() == QDialog::Accepted)
        m_subEditorChanged = true;
}
