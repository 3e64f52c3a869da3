// The five door sub-editors: welcome screen, block select, custom text,
// programming keys and coded access.
#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <iterator>

#include "doorfields.h"
#include "orvoeditors/doordlg.h"
#include "orvoeditors/flatdlg.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "progresshost.h"
#include "ui_doorblockselectdlg.h"
#include "ui_doorcodedaccessdlg.h"
#include "ui_doorcustomtextdlg.h"
#include "ui_doorprogkeysdlg.h"
#include "ui_doorwelcomescreendlg.h"

namespace {

std::string ToModel(const QString& text)
{
    bool replaced = false;
    std::string bytes = TextToModel(text, &replaced);
    if (replaced)
        QApplication::beep();
    return bytes;
}

QString Shown(const std::optional<std::string>& text)
{
    return TextFromModel(text.value_or(std::string()));
}

template <typename Ui> void Connect(QDialog* dlg, Ui* ui)
{
    QObject::connect(ui->buttonBox, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(ui->buttonBox, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
}

} // namespace

// ---------------------------------------------------------------- welcome screen

CDoorWelcomeScreenDlg::CDoorWelcomeScreenDlg(QWidget* parent, COrvoSystem* system, CDeck* deck,
                                             DoorRecord* door, COrvoSerialConnection* session, bool online)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CDoorWelcomeScreenDlg>()), m_target{system, deck, door, session, online}
{
    m_ui->setupUi(this);
    Connect(this, m_ui.get());
    m_lines[0] = m_ui->screen1Line1;
    m_lines[1] = m_ui->screen1Line2;
    m_lines[2] = m_ui->screen2Line1;
    m_lines[3] = m_ui->screen2Line2;
    const int v = m_target.Version();
    m_lines[2]->setEnabled(DoorFirmware(v).FullDisplay());
    m_lines[3]->setEnabled(DoorFirmware(v).FullDisplay());
    CProgressHost progress(parent, QStringLiteral("Reading Door Panel Welcome Message"));
    if (online) {
        const OptionalTexts lines = OnlinePanel(m_target, v, &progress).panel.ReadWelcome();
        for (int i = 0; i < DoorFirmware(v).WelcomeLines(); ++i) {
            ShowWhole(m_lines[i], Shown(lines[static_cast<size_t>(i)]), 16);
            m_read[i] = lines[static_cast<size_t>(i)].has_value();
        }
    } else {
        for (int i = 0; i < 4; ++i)
            ShowWhole(m_lines[i], TextFromModel(door->welcomeLines[i]), 16);
    }
}

CDoorWelcomeScreenDlg::~CDoorWelcomeScreenDlg() = default;

void CDoorWelcomeScreenDlg::accept()
{
    const int v = m_target.Version();
    const QString title = QStringLiteral("Writing Door Welcome Message");
    // Below 4.07 the panel shows two lines; the other two are left as they are.
    OptionalTexts lines;
    for (int i = 0; i < DoorFirmware(v).WelcomeLines(); ++i)
        lines.push_back(Given(m_read[i], m_lines[i], ToModel(m_lines[i]->text())));
    // Nothing passes for stored that the panel did not take (the installer has been told).
    if (m_target.online) {
        if (!WritePanel(this, m_target, v, title, [&lines](CDoorPanel& panel) { panel.WriteWelcome(lines); }))
            return;
    } else {
        CProgressHost progress(parentWidget(), title);
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i])
            m_target.door->welcomeLines[i] = *lines[i];
    QDialog::accept();
}

// ---------------------------------------------------------------- block select

CDoorBlockSelectDlg::CDoorBlockSelectDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                                         COrvoSerialConnection* session, bool online, int version)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CDoorBlockSelectDlg>()), m_target{system, deck, door, session, online},
      m_v(version)
{
    m_ui->setupUi(this);
    Connect(this, m_ui.get());
    QLineEdit* blocks[10] = {m_ui->block0, m_ui->block1, m_ui->block2, m_ui->block3, m_ui->block4,
                             m_ui->block5, m_ui->block6, m_ui->block7, m_ui->block8, m_ui->block9};
    std::copy(blocks, blocks + 10, m_blocks);
    const int count = DoorFirmware(m_v).BlockCount();
    m_ui->operation->addItems({QStringLiteral("Off"), QStringLiteral("Main Entrance - Block Select")});
    for (int b = 0; b < count; ++b)
        m_ui->operation->addItem(QStringLiteral("Sub Entrance - Block %1").arg(b));
    m_ui->operation->setCurrentIndex(-1);
    for (int b = 5; b < 10; ++b)
        m_blocks[b]->setEnabled(DoorFirmware(m_v).TenBlocks());
    CProgressHost progress(parent, QStringLiteral("Reading Door Block Messages"));
    std::optional<int> operation;
    OptionalTexts names(static_cast<size_t>(count));
    if (online) {
        OnlinePanel panel(m_target, m_v, &progress);
        operation = panel.panel.ReadBlockOperation();
        names = panel.panel.ReadBlocks();
        for (int b = 0; b < count; ++b)
            m_read[b] = names[static_cast<size_t>(b)].has_value();
    } else {
        operation = door->blockCtrlOperation;
        for (int b = 0; b < count; ++b)
            names[static_cast<size_t>(b)] = door->blocks[b];
    }
    if (operation && *operation < m_ui->operation->count())
        m_ui->operation->setCurrentIndex(*operation);
    for (int b = 0; b < count; ++b)
        ShowWhole(m_blocks[b], Shown(names[static_cast<size_t>(b)]), 16);
}

CDoorBlockSelectDlg::~CDoorBlockSelectDlg() = default;

void CDoorBlockSelectDlg::accept()
{
    const QString title = QStringLiteral("Writing Door Block Message");
    // An Operation list without a selection (its read got no reply) is
    // neither sent nor stored.
    std::optional<int> operation;
    if (m_ui->operation->currentIndex() >= 0)
        operation = m_ui->operation->currentIndex();
    OptionalTexts names;
    for (int b = 0; b < DoorFirmware(m_v).BlockCount(); ++b)
        names.push_back(Given(m_read[b], m_blocks[b], ToModel(m_blocks[b]->text())));
    if (m_target.online) {
        if (!WritePanel(this, m_target, m_v, title,
                        [&](CDoorPanel& panel) { panel.WriteBlocks(operation, names); }))
            return; // the installer has been told; nothing passes for stored
    } else {
        CProgressHost progress(parentWidget(), title);
    }
    if (operation)
        m_target.door->blockCtrlOperation = *operation;
    for (size_t b = 0; b < names.size(); ++b)
        if (names[b])
            m_target.door->blocks[b] = *names[b];
    QDialog::accept();
}

// ---------------------------------------------------------------- custom text

CDoorCustomTextDlg::CDoorCustomTextDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                                       COrvoSerialConnection* session, bool online)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CDoorCustomTextDlg>()), m_target{system, deck, door, session, online}
{
    m_ui->setupUi(this);
    Connect(this, m_ui.get());
    CProgressHost progress(parent, QStringLiteral("Reading Door Panel Custom Text"));
    if (online) {
        const OptionalTexts texts =
            OnlinePanel(m_target, m_target.Version(), &progress).panel.ReadCustomText();
        for (size_t t = 0; t < 3; ++t)
            m_read[t] = texts[t].has_value();
        // A panel may hold a concierge text longer than the field types.
        ShowWhole(m_ui->line1, Shown(texts[0]), 16);
        ShowWhole(m_ui->line2, Shown(texts[1]), 16);
        ShowWhole(m_ui->concierge, Shown(texts[2]), 9);
    } else {
        ShowWhole(m_ui->line1, TextFromModel(door->doorOpenLine1), 16);
        ShowWhole(m_ui->line2, TextFromModel(door->doorOpenLine2), 16);
        ShowWhole(m_ui->concierge, TextFromModel(door->concierge), 9);
    }
}

CDoorCustomTextDlg::~CDoorCustomTextDlg() = default;

void CDoorCustomTextDlg::accept()
{
    const QString title = QStringLiteral("Writing Door Welcome Message");
    DoorRecord& door = *m_target.door;
    const OptionalTexts texts = {Given(m_read[0], m_ui->line1, ToModel(m_ui->line1->text())),
                                 Given(m_read[1], m_ui->line2, ToModel(m_ui->line2->text())),
                                 Given(m_read[2], m_ui->concierge, ToModel(m_ui->concierge->text()))};
    if (m_target.online) {
        if (!WritePanel(this, m_target, m_target.Version(), title,
                        [&texts](CDoorPanel& panel) { panel.WriteCustomText(texts); }))
            return; // the installer has been told; nothing passes for stored
    } else {
        CProgressHost progress(parentWidget(), title);
    }
    std::string* fields[3] = {&door.doorOpenLine1, &door.doorOpenLine2, &door.concierge};
    for (size_t t = 0; t < 3; ++t)
        if (texts[t])
            *fields[t] = *texts[t];
    QDialog::accept();
}

// ---------------------------------------------------------------- programming keys

CDoorProgKeysDlg::CDoorProgKeysDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                                   COrvoSerialConnection* session, bool online)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CDoorProgKeysDlg>()), m_target{system, deck, door, session, online}
{
    m_ui->setupUi(this);
    Connect(this, m_ui.get());
    CRfidNumberEdit* keys[10] = {m_ui->key1, m_ui->key2, m_ui->key3, m_ui->key4, m_ui->key5,
                                 m_ui->key6, m_ui->key7, m_ui->key8, m_ui->key9, m_ui->key10};
    std::copy(keys, keys + 10, m_keys);
    // The key-tag number fields of the flat editor: Enter in a complete key
    // moves on to the next, never to OK (which would broadcast all ten).
    for (int k = 0; k + 1 < 10; ++k)
        connect(m_keys[k], &CRfidNumberEdit::enterWhenFull, this,
                [this, k] { m_keys[k + 1]->setFocus(Qt::TabFocusReason); });
    CProgressHost progress(parent, QStringLiteral("Reading Programming Keys"));
    if (online) {
        const OptionalTexts read = OnlinePanel(m_target, m_target.Version(), &progress).panel.ReadProgKeys();
        for (size_t k = 0; k < 10; ++k) {
            m_read[k] = read[k].has_value();
            if (read[k])
                door->progKeys[k].number = *read[k]; // the panel's keys go into the model as read
        }
    }
    for (int k = 0; k < 10; ++k) {
        const std::string& number = door->progKeys[k].number;
        ShowWhole(m_keys[k], number == "FFFFFFFFFF" ? QString() : TextFromModel(number), 10);
    }
}

CDoorProgKeysDlg::~CDoorProgKeysDlg() = default;

void CDoorProgKeysDlg::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && std::find(std::begin(m_keys), std::end(m_keys), focusWidget()) != std::end(m_keys)) {
        event->accept(); // an incomplete key, or the last one: nothing to do
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDoorProgKeysDlg::accept()
{
    // Every key is checked before anything is stored or sent.
    for (int k = 0; k < 10; ++k) {
        if (!ValidProgKey(TextToModel(m_keys[k]->text(), nullptr))) {
            ShellMessage(this, QStringLiteral("Key %1 is invalid").arg(k + 1), QMessageBox::Ok,
                         QMessageBox::Critical, QStringLiteral("Error"));
            m_keys[k]->setFocus();
            return;
        }
    }
    const QString title = QStringLiteral("Writing Programming Keys");
    // A key the panel did not give is left as it has it unless typed over.
    OptionalTexts numbers;
    for (int k = 0; k < 10; ++k)
        numbers.push_back(Given(m_read[k], m_keys[k], ToModel(m_keys[k]->text().toUpper())));
    // The keys are broadcast without a reply: only a port gone away is known.
    if (m_target.online) {
        if (!WritePanel(this, m_target, m_target.Version(), title,
                        [&numbers](CDoorPanel& panel) { panel.WriteProgKeys(numbers); }))
            return; // said by the progress host; nothing passes for stored
    } else {
        CProgressHost progress(parentWidget(), title);
    }
    for (size_t k = 0; k < numbers.size(); ++k)
        if (numbers[k])
            m_target.door->progKeys[k].number = *numbers[k];
    QDialog::accept();
}

// ---------------------------------------------------------------- coded access

CDoorCodedAccessDlg::CDoorCodedAccessDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                                         COrvoSerialConnection* session, bool online, int mode)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CDoorCodedAccessDlg>()), m_target{system, deck, door, session, online},
      m_v(m_target.Version()), m_speedDial(mode == 2)
{
    m_ui->setupUi(this);
    Connect(this, m_ui.get());
    QLineEdit* rows[15] = {m_ui->row1,  m_ui->row2,  m_ui->row3,  m_ui->row4,  m_ui->row5,
                           m_ui->row6,  m_ui->row7,  m_ui->row8,  m_ui->row9,  m_ui->row10,
                           m_ui->row11, m_ui->row12, m_ui->row13, m_ui->row14, m_ui->row15};
    std::copy(rows, rows + 15, m_rows);
    QLabel* labels[15] = {m_ui->rowLabel1,  m_ui->rowLabel2,  m_ui->rowLabel3,  m_ui->rowLabel4,
                          m_ui->rowLabel5,  m_ui->rowLabel6,  m_ui->rowLabel7,  m_ui->rowLabel8,
                          m_ui->rowLabel9,  m_ui->rowLabel10, m_ui->rowLabel11, m_ui->rowLabel12,
                          m_ui->rowLabel13, m_ui->rowLabel14, m_ui->rowLabel15};
    for (int r = 1; r <= 15; ++r) {
        if (m_speedDial)
            labels[r - 1]->setText(QStringLiteral("%1 %2").arg(QStringLiteral("Speed Dial")).arg(r));
        else
            labels[r - 1]->setText(r == 15 ? QStringLiteral("Trades Code")
                                           : QStringLiteral("%1 %2").arg(QStringLiteral("Code")).arg(r));
    }
    const int slotCount = DoorFirmware(m_v).CodeSlots();
    const int length = DoorFirmware(m_v).CodeLength();
    CProgressHost progress(parent, QStringLiteral("Reading Door %1 Codes").arg(m_target.DoorNumber()));
    OptionalTexts codes(static_cast<size_t>(slotCount));
    if (online) {
        codes = OnlinePanel(m_target, m_v, &progress).panel.ReadCodes();
        for (int s = 0; s < slotCount; ++s)
            m_read[s] = codes[static_cast<size_t>(s)].has_value();
    } else {
        for (int s = 0; s < slotCount; ++s)
            codes[static_cast<size_t>(s)] = door->codes[s];
    }
    for (int s = 0; s < 15; ++s) {
        QLineEdit* field = SlotField(s);
        if (s >= slotCount) {
            field->setEnabled(false);
            continue;
        }
        // A stored code longer than the panel takes stays whole, so that OK
        // refuses it rather than cutting it silently.
        ShowWhole(field, Shown(codes[static_cast<size_t>(s)]), length);
    }
}

CDoorCodedAccessDlg::~CDoorCodedAccessDlg() = default;

QLineEdit* CDoorCodedAccessDlg::SlotField(int slot) const
{
    if (!m_speedDial)
        return slot == 0 ? m_rows[14] : m_rows[slot - 1];
    if (slot == 0)
        return m_rows[9];
    if (slot <= 9)
        return m_rows[slot - 1];
    return m_rows[slot]; // slotCount 10-14 are rows 11-15
}

void CDoorCodedAccessDlg::accept()
{
    const int slotCount = DoorFirmware(m_v).CodeSlots();
    const int length = DoorFirmware(m_v).CodeLength();
    OptionalTexts codes;
    for (int s = 0; s < slotCount; ++s) {
        const QString text = SlotField(s)->text();
        if (text.size() > length) {
            ShellMessage(this, QStringLiteral("User code %1 is longer than %2 digits").arg(s).arg(length),
                         QMessageBox::Ok, QMessageBox::Critical, QString());
            SlotField(s)->setFocus();
            return;
        }
        codes.push_back(Given(m_read[s], SlotField(s), ToModel(text)));
    }
    const QString title = QStringLiteral("Writing Door %1 Codes").arg(m_target.DoorNumber());
    if (m_target.online) {
        if (!WritePanel(this, m_target, m_v, title, [&codes](CDoorPanel& panel) { panel.WriteCodes(codes); }))
            return; // the installer has been told; nothing passes for stored
    } else {
        CProgressHost progress(parentWidget(), title);
        for (int s = 0; s < slotCount; ++s)
            m_target.door->codes[s] = *codes[static_cast<size_t>(s)];
    }
    QDialog::accept();
}
