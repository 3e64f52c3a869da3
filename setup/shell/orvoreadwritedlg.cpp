#include "orvoshell/orvoreadwritedlg.h"

#include <algorithm>

#include "orvoshell/shellmessages.h"

#include <orvomodel/accessexport.h>
#include <orvoprocedures/installationjobs.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

int Checked(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

} // namespace

COrvoReadWriteDlg::COrvoReadWriteDlg(QWidget* parent, bool readMode, bool systemForm,
                                     const SetupSettings& stored)
    : QDialog(parent), m_stored(stored), m_readMode(readMode), m_systemForm(systemForm)
{
    const QString verb = readMode ? tr("Read") : tr("Write");
    setWindowTitle(readMode ? QStringLiteral("Read Orvo") : QStringLiteral("Write Orvo"));

    m_frame = new QGroupBox(verb + QStringLiteral(" Orvo System"), this);
    m_first = new QLineEdit(m_frame);
    m_last = new QLineEdit(m_frame);
    m_first->setObjectName(QStringLiteral("firstDeck"));
    m_last->setObjectName(QStringLiteral("lastDeck"));
    m_first->setMaxLength(3);
    m_last->setMaxLength(3);
    m_flatAddresses = new QCheckBox(verb + QStringLiteral(" Flat Addresses"), m_frame);
    m_doorAccess = new QCheckBox(verb + QStringLiteral(" Door Access Settings"), m_frame);
    m_rfidTags = new QCheckBox(verb + QStringLiteral(" RFID Tags"), m_frame);
    m_doorSettings = new QCheckBox(verb + QStringLiteral(" Door Settings"), m_frame);
    m_relays = new QCheckBox(QStringLiteral("Read Relays"), m_frame);

    auto* numbers = new QFormLayout;
    auto* firstLabel = new QLabel(QStringLiteral("&First Deck Address"), m_frame);
    auto* lastLabel = new QLabel(QStringLiteral("&Last Deck Address"), m_frame);
    firstLabel->setBuddy(m_first);
    lastLabel->setBuddy(m_last);
    numbers->addRow(firstLabel, m_first);
    numbers->addRow(lastLabel, m_last);

    auto* frameLayout = new QVBoxLayout(m_frame);
    frameLayout->addLayout(numbers);
    frameLayout->addWidget(m_flatAddresses);
    frameLayout->addWidget(m_doorAccess);
    frameLayout->addWidget(m_rfidTags);
    frameLayout->addWidget(m_doorSettings);
    frameLayout->addWidget(m_relays);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COrvoReadWriteDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COrvoReadWriteDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    // The Upgrade Option changes what a write does to every key tag: say so
    // where the write is chosen.
    m_eraseWarning = new QLabel(this);
    m_eraseWarning->setObjectName(QStringLiteral("eraseWarning"));
    m_eraseWarning->setWordWrap(true);
    m_eraseWarning->setVisible(!readMode && AccessExport::Instance().EraseKeysOnNextWrite());
    layout->addWidget(m_eraseWarning);
    layout->addWidget(buttons);

    m_first->setEnabled(systemForm);
    m_last->setEnabled(systemForm);
    m_relays->setVisible(readMode);

    // Key tags can only be read for flats whose addresses are read too.
    connect(m_rfidTags, &QCheckBox::clicked, this, &COrvoReadWriteDlg::OnRfidClicked);
    connect(m_rfidTags, &QCheckBox::toggled, this, &COrvoReadWriteDlg::ShowEraseWarning);
    ShowEraseWarning();
}

void COrvoReadWriteDlg::ShowEraseWarning()
{
    if (m_readMode)
        return;
    m_eraseWarning->setText(
        m_rfidTags->isChecked()
            ? QStringLiteral("<b>Warning: Upgrade Option is on. Every RFID key tag of the decks written "
                             "will be erased.</b>")
            : QStringLiteral(
                  "Upgrade Option is on, but RFID tags are not chosen: no key tag will be erased."));
}

void COrvoReadWriteDlg::LoadChoices()
{
    const CReadWriteParameters stored = SelectionOf(m_stored);
    if (m_systemForm && m_ownRange) {
        m_params.first = m_ownFirst;
        m_params.last = m_ownLast;
    } else if (m_systemForm) {
        m_params.first = stored.first;
        m_params.last = stored.last;
    }
    m_params.flatAddresses = stored.flatAddresses;
    m_params.doorAccess = stored.doorAccess;
    m_params.rfidTags = stored.rfidTags;
    m_params.doorSettings = stored.doorSettings;
    m_params.readRelays = stored.readRelays;

    // A stored number longer than the three digits typed is shown whole, so
    // that OK refuses it rather than reading it cut ("1000" as 100).
    for (QLineEdit* edit : {m_first, m_last}) {
        const QString text = QString::number(edit == m_first ? m_params.first : m_params.last);
        edit->setMaxLength(std::max(3, static_cast<int>(text.size())));
        edit->setText(text);
    }
    m_flatAddresses->setChecked(m_params.flatAddresses != 0);
    m_doorAccess->setChecked(m_params.doorAccess != 0);
    m_rfidTags->setChecked(m_params.rfidTags != 0);
    m_doorSettings->setChecked(m_params.doorSettings != 0);
    m_relays->setChecked(m_params.readRelays != 0);
    m_loaded = true;
}

void COrvoReadWriteDlg::UseDeckRange(int first, int last)
{
    m_ownRange = true;
    m_ownFirst = first;
    m_ownLast = last;
}

int COrvoReadWriteDlg::exec()
{
    if (!m_loaded)
        LoadChoices();
    return QDialog::exec();
}

void COrvoReadWriteDlg::OnRfidClicked(bool checked)
{
    if (!m_readMode)
        return;
    if (checked)
        m_flatAddresses->setChecked(true);
    m_flatAddresses->setEnabled(!checked);
}

bool COrvoReadWriteDlg::TakeDeckNumber(QLineEdit* edit, int* value)
{
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    if (!ok || number < 0 || number > 255) {
        ShellMessage(this, QStringLiteral("Please enter an integer between 0 and 255."), QMessageBox::Ok,
                     QMessageBox::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    *value = number;
    return true;
}

void COrvoReadWriteDlg::accept()
{
    CReadWriteParameters taken = m_params;
    if (m_systemForm) {
        if (!TakeDeckNumber(m_first, &taken.first) || !TakeDeckNumber(m_last, &taken.last))
            return;
    }
    taken.flatAddresses = Checked(m_flatAddresses);
    taken.doorAccess = Checked(m_doorAccess);
    taken.rfidTags = Checked(m_rfidTags);
    taken.doorSettings = Checked(m_doorSettings);
    taken.readRelays = Checked(m_relays);

    // The range is stored only when it was the installer's to choose.
    CReadWriteParameters kept = taken;
    if (!m_systemForm || m_ownRange) {
        kept.first = m_stored.first;
        kept.last = m_stored.last;
    }
    StoreSelection(kept, &m_stored);
    m_params = taken;
    QDialog::accept();
}
