#include "orvoeditors/dooraccessdlg.h"

#include "editortext.h"
#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QLineEdit* NumberEdit(QWidget* parent, const QString& name, int width = 48)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(6);
    edit->setFixedWidth(width);
    return edit;
}

QCheckBox* Box(QWidget* parent, const QString& name, const QString& text = {})
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

} // namespace

CDoorAccessDlg::CDoorAccessDlg(QWidget* parent, CDeck* deck)
    : QDialog(parent), m_deck(deck), m_version(deck->version)
{
    setWindowTitle(QStringLiteral("Access Areas"));
    auto* layout = new QVBoxLayout(this);
    auto* help =
        new QLabel(QStringLiteral("Access Areas are defined by flat numbers.\n"
                                  "To setup an Area, set 'From' and 'To' to define a range of flats.\n"
                                  "By default, each door can Access All Areas\n"
                                  "To restrict a doors access permission:\n"
                                  "Uncheck 'All Areas' for that door,\n"
                                  "Add the permitted Access Areas,\n"
                                  "Check 'Global' to allow access to any Global Exceptions."),
                   this);
    layout->addWidget(help);

    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);

    auto* areasGroup = new QGroupBox(QStringLiteral("Access Areas"), this);
    auto* areasGrid = new QGridLayout(areasGroup);
    const char* headings[] = {"", "From", "To", "Odd / Even", "Permit Keys", "Permit Calls"};
    for (int c = 0; c < 6; ++c)
        areasGrid->addWidget(new QLabel(QString::fromLatin1(headings[c]), areasGroup), 0, c);
    for (int a = 0; a < kRangesPerDeck; ++a) {
        const QString n = QString::number(a + 1);
        areasGrid->addWidget(new QLabel(n, areasGroup), a + 1, 0);
        m_from[a] = NumberEdit(areasGroup, QStringLiteral("fromEdit") + n);
        m_to[a] = NumberEdit(areasGroup, QStringLiteral("toEdit") + n);
        m_oddEven[a] = Box(areasGroup, QStringLiteral("oddEvenBox") + n);
        m_keys[a] = Box(areasGroup, QStringLiteral("permitKeysBox") + n);
        m_calls[a] = Box(areasGroup, QStringLiteral("permitCallsBox") + n);
        areasGrid->addWidget(m_from[a], a + 1, 1);
        areasGrid->addWidget(m_to[a], a + 1, 2);
        areasGrid->addWidget(m_oddEven[a], a + 1, 3);
        areasGrid->addWidget(m_keys[a], a + 1, 4);
        areasGrid->addWidget(m_calls[a], a + 1, 5);
    }
    columns->addWidget(areasGroup);

    auto* globalGroup = new QGroupBox(QStringLiteral("Global Exceptions"), this);
    auto* globalGrid = new QGridLayout(globalGroup);
    for (int g = 0; g < kGlobalFlatSlots; ++g) {
        const QString n = QString::number(g + 1);
        globalGrid->addWidget(new QLabel(n, globalGroup), g, 0);
        m_global[g] = new QLineEdit(globalGroup);
        m_global[g]->setObjectName(QStringLiteral("globalEdit") + n);
        m_global[g]->setMaxLength(4);
        m_global[g]->setFixedWidth(56);
        KeepUpperCase(m_global[g]);
        globalGrid->addWidget(m_global[g], g, 1);
    }
    columns->addWidget(globalGroup);

    auto* doorsGroup = new QGroupBox(QStringLiteral("Door Access Permissions"), this);
    auto* doorsGrid = new QGridLayout(doorsGroup);
    doorsGrid->addWidget(new QLabel(QStringLiteral("All Areas"), doorsGroup), 0, 1);
    doorsGrid->addWidget(new QLabel(QStringLiteral("Access Areas"), doorsGroup), 0, 2, 1, 8);
    doorsGrid->addWidget(new QLabel(QStringLiteral("Global"), doorsGroup), 0, 10);
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        const QString n = QString::number(d);
        doorsGrid->addWidget(new QLabel(QStringLiteral("Door #") + n, doorsGroup), d + 1, 0);
        m_allAreas[d] = Box(doorsGroup, QStringLiteral("allAreasBox") + n);
        doorsGrid->addWidget(m_allAreas[d], d + 1, 1);
        for (int f = 0; f < kDoorGroupsPerDoor; ++f) {
            m_areas[d][f] = NumberEdit(doorsGroup, QStringLiteral("areaEdit%1_%2").arg(d).arg(f + 1), 32);
            doorsGrid->addWidget(m_areas[d][f], d + 1, 2 + f);
        }
        m_globalAccess[d] = Box(doorsGroup, QStringLiteral("globalBox") + n);
        doorsGrid->addWidget(m_globalAccess[d], d + 1, 10);
        connect(m_allAreas[d], &QCheckBox::clicked, this, [this, d] { ApplyEnabling(d); });
    }
    layout->addWidget(doorsGroup);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Area numbers above 20 in the first four fields are dropped on opening.
    CleanDoorGroups(*deck);
    for (int a = 0; a < kRangesPerDeck; ++a) {
        m_from[a]->setText(QString::number(deck->rangeMin[a]));
        m_to[a]->setText(QString::number(deck->rangeMax[a]));
        m_oddEven[a]->setChecked(AreaFlag(deck->rangeOddEven, a));
        m_keys[a]->setChecked(AreaFlag(deck->rangeAccessKeys, a));
        m_calls[a]->setChecked(AreaFlag(deck->rangeAccessCalls, a));
        const bool elevenUp = a < 10 || AccessAreasElevenUp(m_version);
        m_from[a]->setEnabled(elevenUp);
        m_to[a]->setEnabled(elevenUp);
        m_oddEven[a]->setEnabled(elevenUp);
        m_keys[a]->setEnabled(AccessPermitKeysAndCalls(m_version));
        m_calls[a]->setEnabled(AccessPermitKeysAndCalls(m_version));
    }
    for (int g = 0; g < kGlobalFlatSlots; ++g) {
        m_global[g]->setText(TextFromModel(deck->globalFlats[g].address));
        m_global[g]->setEnabled(g < 10 || AccessGlobalElevenUp(m_version));
    }
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        m_allAreas[d]->setChecked(deck->primary[d] != 0);
        for (int f = 0; f < kDoorGroupsPerDoor; ++f)
            m_areas[d][f]->setText(QString::number(deck->doorGroups[d][f]));
        m_globalAccess[d]->setChecked(deck->globalAccess[d] != 0);
        ApplyEnabling(d);
    }
}

void CDoorAccessDlg::ApplyEnabling(int door)
{
    const bool restricted = !m_allAreas[door]->isChecked();
    for (int f = 0; f < kDoorGroupsPerDoor; ++f)
        m_areas[door][f]->setEnabled(restricted && (f < 4 || AccessAreasFiveToEight(m_version)));
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
        deck.globalFlats[g].address = ModelTextOf(m_global[g]).substr(0, 4);
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
