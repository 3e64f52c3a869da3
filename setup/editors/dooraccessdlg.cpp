#include "orvoeditors/dooraccessdlg.h"

#include "editortext.h"
#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "ui_dooraccessdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>

namespace {

// A control of the form by its object name; the names follow the rows.
template <typename T> T* Control(QObject* form, const QString& name)
{
    T* control = form->findChild<T*>(name);
    Q_ASSERT(control);
    return control;
}

} // namespace

CDoorAccessDlg::CDoorAccessDlg(QWidget* parent, CDeck* deck)
    : QDialog(parent), m_ui(std::make_unique<Ui::CDoorAccessDlg>()), m_deck(deck),
      // Access settings belong to main decks: the version field is judged as a main deck's.
      m_firmware(DeckFirmware::FromVersion(deck->version))
{
    m_ui->setupUi(this);
    for (int a = 0; a < kRangesPerDeck; ++a) {
        const QString n = QString::number(a + 1);
        m_from[a] = Control<QLineEdit>(this, QStringLiteral("fromEdit") + n);
        m_to[a] = Control<QLineEdit>(this, QStringLiteral("toEdit") + n);
        m_oddEven[a] = Control<QCheckBox>(this, QStringLiteral("oddEvenBox") + n);
        m_keys[a] = Control<QCheckBox>(this, QStringLiteral("permitKeysBox") + n);
        m_calls[a] = Control<QCheckBox>(this, QStringLiteral("permitCallsBox") + n);
    }
    for (int g = 0; g < kGlobalFlatSlots; ++g) {
        m_global[g] = Control<QLineEdit>(this, QStringLiteral("globalEdit%1").arg(g + 1));
        KeepUpperCase(m_global[g]);
    }
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        m_allAreas[d] = Control<QCheckBox>(this, QStringLiteral("allAreasBox%1").arg(d));
        for (int f = 0; f < kDoorGroupsPerDoor; ++f)
            m_areas[d][f] = Control<QLineEdit>(this, QStringLiteral("areaEdit%1_%2").arg(d).arg(f + 1));
        m_globalAccess[d] = Control<QCheckBox>(this, QStringLiteral("globalBox%1").arg(d));
        connect(m_allAreas[d], &QCheckBox::clicked, this, [this, d] { ApplyEnabling(d); });
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Area numbers above 20 in the first four fields are dropped on opening.
    CleanDoorGroups(*deck);
    for (int a = 0; a < kRangesPerDeck; ++a) {
        // Shown whole: a stored number longer than the field types is
        // refused at OK, not cut into another number.
        ShowWhole(m_from[a], QString::number(deck->rangeMin[a]));
        ShowWhole(m_to[a], QString::number(deck->rangeMax[a]));
        m_oddEven[a]->setChecked(AreaFlag(deck->rangeOddEven, a));
        m_keys[a]->setChecked(AreaFlag(deck->rangeAccessKeys, a));
        m_calls[a]->setChecked(AreaFlag(deck->rangeAccessCalls, a));
        // Areas 11-20 exist where the write sends twenty ranges.
        const bool elevenUp = a < 10 || m_firmware.Has(DeckFeature::WritesTwentyRanges);
        m_from[a]->setEnabled(elevenUp);
        m_to[a]->setEnabled(elevenUp);
        m_oddEven[a]->setEnabled(elevenUp);
        m_keys[a]->setEnabled(m_firmware.Has(DeckFeature::PermitKeysAndCalls));
        m_calls[a]->setEnabled(m_firmware.Has(DeckFeature::PermitKeysAndCalls));
    }
    for (int g = 0; g < kGlobalFlatSlots; ++g) {
        ShowWhole(m_global[g], TextFromModel(deck->globalFlats[g].address));
        m_global[g]->setEnabled(g < m_firmware.GlobalFlatCount());
    }
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        m_allAreas[d]->setChecked(deck->primary[d] != 0);
        for (int f = 0; f < kDoorGroupsPerDoor; ++f)
            m_areas[d][f]->setText(QString::number(deck->doorGroups[d][f]));
        m_globalAccess[d]->setChecked(deck->globalAccess[d] != 0);
        ApplyEnabling(d);
    }
}

CDoorAccessDlg::~CDoorAccessDlg() = default;

void CDoorAccessDlg::ApplyEnabling(int door)
{
    const bool restricted = !m_allAreas[door]->isChecked();
    for (int f = 0; f < kDoorGroupsPerDoor; ++f)
        m_areas[door][f]->setEnabled(restricted && f < m_firmware.DoorGroupCount());
    m_globalAccess[door]->setEnabled(restricted);
}

bool CDoorAccessDlg::ReadInt(QLineEdit* edit, int low, int high, int* value)
{
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    if (!ok || number < low || number > high) {
        ShellMessage(this,
                     ok ? QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high)
                        : QStringLiteral("Please enter an integer."),
                     QMessageBox::Ok, QMessageBox::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    *value = number;
    return true;
}

void CDoorAccessDlg::accept()
{
    m_stored = true;
    CDeck& deck = *m_deck;
    // The order of the data exchange: a bad field stops it, and the fields
    // before it stay stored.
    uint16_t* words[] = {deck.rangeOddEven, deck.rangeAccessKeys, deck.rangeAccessCalls};
    QCheckBox* const* boxes[] = {m_oddEven, m_keys, m_calls};
    for (int w = 0; w < 3; ++w) {
        words[w][0] = words[w][1] = 0;
        for (int a = 0; a < kRangesPerDeck; ++a)
            SetAreaFlag(words[w], a, boxes[w][a]->isChecked());
    }
    for (int g = 0; g < kGlobalFlatSlots; ++g)
        deck.globalFlats[g].address = ModelTextOf(m_global[g]); // four typed at most, a longer one kept
    for (int a = 0; a < kRangesPerDeck; ++a) {
        if (!ReadInt(m_from[a], 0, kMaxRangeBound, &deck.rangeMin[a]))
            return;
    }
    for (int a = 0; a < kRangesPerDeck; ++a) {
        if (!ReadInt(m_to[a], 0, kMaxRangeBound, &deck.rangeMax[a]))
            return;
    }
    for (int d = 0; d < kDoorsPerDeck; ++d)
        deck.primary[d] = m_allAreas[d]->isChecked() ? 1 : 0;
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        for (int f = 0; f < kDoorGroupsPerDoor; ++f) {
            int area = 0;
            if (!ReadInt(m_areas[d][f], 0, kMaxAreaNumber, &area))
                return;
            deck.doorGroups[d][f] = static_cast<uint8_t>(area);
        }
        deck.globalAccess[d] = m_globalAccess[d]->isChecked() ? 1 : 0;
    }
    QDialog::accept();
}
