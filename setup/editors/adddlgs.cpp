#include "orvoeditors/adddlgs.h"

#include "editortext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

void ErrorBox(QWidget* owner, const QString& text)
{
    ShellMessage(owner, text, QMessageBox::Ok, QMessageBox::Critical, QStringLiteral("Error"));
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

CAddNumbersDlg::CAddNumbersDlg(QWidget* parent, const QString& title, const QString& label,
                               QString* remembered)
    : QDialog(parent), m_remembered(remembered)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_edit = new QLineEdit(*remembered, this);
    m_edit->setObjectName(QStringLiteral("numbersEdit"));
    ShowFormat(m_edit, QStringLiteral("1,4-6"),
               QStringLiteral("Numbers and ranges separated by commas: 1,4-6 stands for 1, 4, 5 and 6"));
    form->addRow(label, m_edit);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

void CAddNumbersDlg::accept()
{
    const QString text = QString(m_edit->text()).remove(QLatin1Char(' '));
    m_edit->setText(text);
    *m_remembered = text;
    const NumberListError error = ParseNumberList(text.toStdString(), &m_ranges);
    if (error != NumberListError::None) {
        ErrorBox(this, QString::fromLatin1(NumberListMessage(error)));
        m_edit->setFocus();
        return;
    }
    if (!CheckList())
        return;
    QDialog::accept();
}

CAddDeckDlg::CAddDeckDlg(QWidget* parent, COrvoSystem* system)
    : CAddNumbersDlg(parent, QStringLiteral("Add Deck"), QStringLiteral("Deck"), &RememberedText()),
      m_system(system)
{
}

QString& CAddDeckDlg::RememberedText()
{
    static QString text;
    return text;
}

bool CAddDeckDlg::CheckList()
{
    // The model has slots for decks 0 to 254 only.
    int outside = 0;
    if (FirstDeckOutsideTable(m_ranges, &outside)) {
        ErrorBox(this, QString::fromStdString(DeckOutsideTableText(outside)));
        numbersEdit()->setFocus();
        return false;
    }
    return true;
}

bool CAddDeckDlg::Apply()
{
    ForEachNumber(m_ranges, [this](int n) {
        AddDeck(*m_system, n);
        return true;
    });
    return !m_ranges.empty();
}

CAddFlatDlg::CAddFlatDlg(QWidget* parent, CDeck* deck)
    : CAddNumbersDlg(parent, QStringLiteral("Add Flat"), QStringLiteral("Flat"), &RememberedText()),
      m_deck(deck)
{
}

QString& CAddFlatDlg::RememberedText()
{
    static QString text;
    return text;
}

bool CAddFlatDlg::Apply()
{
    std::string before[kFlatSlots];
    for (int s = 0; s < kFlatSlots; ++s)
        before[s] = m_deck->flats[s].address;
    if (!AddFlats(*m_deck, m_ranges))
        ShellMessage(parentWidget(), QString::fromLatin1(kMaxFlatsText), QMessageBox::Ok,
                     QMessageBox::Warning, QStringLiteral("Warning"));
    for (int s = 0; s < kFlatSlots; ++s) {
        if (before[s] != m_deck->flats[s].address)
            return true;
    }
    return false;
}

CAddDoorDlg::CAddDoorDlg(QWidget* parent, CDeck* deck)
    : CAddNumbersDlg(parent, QStringLiteral("Add Door"), QStringLiteral("Door"), &RememberedText()),
      m_deck(deck)
{
}

QString& CAddDoorDlg::RememberedText()
{
    static QString text;
    return text;
}

bool CAddDoorDlg::Apply()
{
    int refused = 0;
    const std::vector<int> first = ExpandNumbers(m_ranges, 1);
    const bool all = AddDoors(*m_deck, m_ranges, &refused);
    if (!all)
        ShellMessage(parentWidget(), QString::fromLatin1(kDoorRangeText));
    // Something was added unless the very first number was refused.
    return all || (!first.empty() && first.front() != refused);
}

CSystemDlg::CSystemDlg(QWidget* parent, COrvoSystem* system) : QDialog(parent), m_system(system)
{
    setWindowTitle(QStringLiteral("Edit System"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_description = new QLineEdit(TextFromModel(system->description), this);
    m_description->setObjectName(QStringLiteral("descriptionEdit"));
    m_validKeys = new QLineEdit(TextFromModel(system->validKeys), this);
    m_validKeys->setObjectName(QStringLiteral("validKeysEdit"));
    form->addRow(QStringLiteral("Description"), m_description);
    form->addRow(QStringLiteral("Valid Keys"), m_validKeys);
    // Both show a whole set of valid keys, the longest text they usually hold.
    for (QLineEdit* edit : {m_description, m_validKeys})
        WidenToShow(edit, QString::fromLatin1(kDefaultValidKeys));
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

void CSystemDlg::accept()
{
    m_system->description = ModelTextOf(m_description);
    m_system->validKeys = ModelTextOf(m_validKeys);
    m_system->StoreValidKeys();
    QDialog::accept();
}
