#include "orvoeditors/deckdlg.h"

#include "editortext.h"

#include "orvoeditors/dooraccessdlg.h"
#include "orvomodel/deckcapabilities.h"
#include "orvomodel/editing.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "ui_deckdlg.h"
#include "ui_deckringtonedlg.h"

#include <QPushButton>

CRingtoneComboBox::CRingtoneComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
}

void CRingtoneComboBox::Fill(int value)
{
    clear();
    for (const RingtonePreset& preset : kRingtonePresets)
        addItem(QString::fromLatin1(preset.name), preset.value);
    setCurrentIndex(kRingtonePresetCount - 1);
    const int found = findData(value);
    if (found >= 0 && value != kCadenceCustom)
        setCurrentIndex(found);
}

int CRingtoneComboBox::CurrentValue() const
{
    return currentIndex() < 0 ? kCadenceCustom : currentData().toInt();
}

CRingtoneEdit::CRingtoneEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(16);
    WidenToShow(this, QString(16, QLatin1Char('0')));
    ShowFormat(this, QStringLiteral("0000010100000001"),
               QStringLiteral("The ring pattern as 16 digits, 0 or 1, the highest bit first"));
}

void CRingtoneEdit::SetValue(int value)
{
    if (value == kCadenceCustom)
        return;
    setText(QString::fromLatin1(CadenceToPattern(value).c_str()));
}

int CRingtoneEdit::Value() const
{
    // One bit per character typed, whatever its encoding: '0' is a 0 bit,
    // anything else a 1 bit.
    std::string bits;
    for (char32_t c : text().toUcs4())
        bits += c == U'0' ? '0' : '1';
    return CadenceFromPattern(bits);
}

CDeckRingtoneDlg::CDeckRingtoneDlg(QWidget* parent, CDeck* deck)
    : QDialog(parent), m_ui(std::make_unique<Ui::CDeckRingtoneDlg>()), m_deck(deck)
{
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    struct Pair {
        CRingtoneComboBox* combo;
        CRingtoneEdit* edit;
        int value;
    };
    for (const Pair& pair : {Pair{doorCombo(), doorEdit(), deck->doorCadence},
                             Pair{conciergeCombo(), conciergeEdit(), deck->conciergeCadence}}) {
        pair.combo->Fill(pair.value);
        pair.edit->SetValue(pair.value);
        pair.edit->setEnabled(pair.combo->IsCustom());
        connect(pair.combo, &QComboBox::activated, this,
                [this, combo = pair.combo, edit = pair.edit] { Follow(combo, edit); });
    }
}

CDeckRingtoneDlg::~CDeckRingtoneDlg() = default;

CRingtoneComboBox* CDeckRingtoneDlg::doorCombo() const
{
    return m_ui->doorCombo;
}
CRingtoneEdit* CDeckRingtoneDlg::doorEdit() const
{
    return m_ui->doorEdit;
}
CRingtoneComboBox* CDeckRingtoneDlg::conciergeCombo() const
{
    return m_ui->conciergeCombo;
}
CRingtoneEdit* CDeckRingtoneDlg::conciergeEdit() const
{
    return m_ui->conciergeEdit;
}

void CDeckRingtoneDlg::Follow(CRingtoneComboBox* combo, CRingtoneEdit* edit)
{
    edit->setEnabled(combo->IsCustom());
    edit->SetValue(combo->CurrentValue()); // "Custom" keeps the text as it is
}

void CDeckRingtoneDlg::accept()
{
    m_deck->doorCadence = doorCombo()->IsCustom() ? doorEdit()->Value() : doorCombo()->CurrentValue();
    m_deck->conciergeCadence =
        conciergeCombo()->IsCustom() ? conciergeEdit()->Value() : conciergeCombo()->CurrentValue();
    QDialog::accept();
}

CDeckDlg::CDeckDlg(QWidget* parent, CDeck* deck, bool administrator)
    : QDialog(parent), m_ui(std::make_unique<Ui::CDeckDlg>()), m_deck(deck),
      m_copy(std::make_unique<CDeck>(*deck))
{
    m_ui->setupUi(this);
    // A read names a deck "<Default Main><n> (vX.YYY)" and a document may
    // hold any length: the typing limits do not cut what is stored.
    ShowWhole(m_ui->descriptionEdit, TextFromModel(deck->description));
    ShowWhole(m_ui->serialEdit, TextFromModel(deck->serialNumber));
    m_ui->maskPrivacyBox->setChecked(deck->maskPrivacy != 0);
    m_ui->ackTonesBox->setChecked(deck->conciergeAckNakTones != 0);
    const QString sec = QStringLiteral("%1 sec");
    m_ui->callTimeText->setText(sec.arg(deck->callTime));
    m_ui->ringTimeText->setText(sec.arg(deck->ringTime));
    m_ui->speechTimeText->setText(sec.arg(deck->speechTime));
    m_ui->expansionText->setText(deck->expansion ? QStringLiteral("Yes") : QStringLiteral("No"));

    // The editor judges the firmware by its major and minor numbers.
    const DeckFirmware firmware = DeckFirmware::OfParts(*deck);
    m_ui->ringTonesButton->setEnabled(firmware.Has(DeckFeature::RingTones));
    m_ui->maskPrivacyBox->setEnabled(firmware.Has(DeckFeature::PrivacyMask));
    m_ui->accessAreasButton->setEnabled(!deck->expansion);
    m_ui->ackTonesBox->setEnabled(firmware.Has(DeckFeature::AckTones));
    m_ui->serialEdit->setEnabled(administrator && firmware.Has(DeckFeature::SerialNumber));

    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->ringTonesButton, &QPushButton::clicked, this, &CDeckDlg::OnRingTones);
    connect(m_ui->accessAreasButton, &QPushButton::clicked, this, &CDeckDlg::OnAccessAreas);
}

CDeckDlg::~CDeckDlg() = default;

void CDeckDlg::accept()
{
    // A deck without a name is no longer part of the installation: it
    // leaves the tree and the saved document with all its flats. That is how
    // a deck added by mistake goes away, so it is asked, not refused.
    if (m_ui->descriptionEdit->text().trimmed().isEmpty() &&
        ShellMessage(this,
                     QStringLiteral("Deck %1 has no description and will be left out of the installation, "
                                    "with its flats, doors and relays.\nContinue?")
                         .arg(m_deck->node.index),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning) != QMessageBox::Yes) {
        m_ui->descriptionEdit->setFocus();
        return;
    }
    // What the ring-tone and access-areas editors stored went into this
    // editor's copy; it reaches the deck now, with this editor's own fields.
    // The serial number is taken even when its edit is disabled: it shows
    // the stored one then, so nothing changes.
    CDeck& deck = *m_deck;
    deck = *m_copy; // the editor is modal: nothing else changed the deck meanwhile
    deck.serialNumber = TextToModel(m_ui->serialEdit->text());
    deck.description = TextToModel(m_ui->descriptionEdit->text());
    deck.maskPrivacy = m_ui->maskPrivacyBox->isChecked() ? 1 : 0;
    deck.conciergeAckNakTones = m_ui->ackTonesBox->isChecked() ? 1 : 0;
    m_changed = true;
    QDialog::accept();
}

void CDeckDlg::OnRingTones()
{
    // Its OK writes into this editor's copy; Cancel here drops it.
    CDeckRingtoneDlg dlg(this, m_copy.get());
    dlg.exec();
}

void CDeckDlg::OnAccessAreas()
{
    CDoorAccessDlg dlg(this, m_copy.get());
    dlg.exec();
}
