#include "orvoeditors/readdoorrelay.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "orvoeditors/doordlg.h"
#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/devicesearch.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/buslink.h"

namespace {

// The number typed, read as C's atoi reads it: blanks skipped, an optional
// sign, then the leading digits ("3a" is 3); text without a leading digit
// is 0. Beyond an int the number stays at its limit.
int AddressNumber(const QString& text)
{
    int at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+')))
        negative = text[at++] == QLatin1Char('-');
    long long value = 0;
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at)
        value = std::min<long long>(value * 10 + (text[at].unicode() - '0'), INT_MAX);
    return static_cast<int>(negative ? -value : value);
}

} // namespace

CReadDoorRelay::CReadDoorRelay(QWidget* parent, COrvoSerialConnection* session, COrvoSystem*,
                               NodeType nodeType)
    : QDialog(parent), m_session(session), m_nodeType(nodeType)
{
    setWindowTitle(nodeType == NODE_RELAY ? QStringLiteral("Read Relay") : QStringLiteral("Read Door"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("address"));
    form->addRow(QStringLiteral("Address"), m_address);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CReadDoorRelay::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CReadDoorRelay::reject);
}

void CReadDoorRelay::SetFeatures(IFeatureDialogs* features, bool administrator)
{
    m_features = features;
    m_administrator = administrator;
}

void CReadDoorRelay::accept()
{
    QDialog::accept();
    if (!m_session)
        return;
    const int n = AddressNumber(m_address->text());
    if (m_nodeType == NODE_RELAY)
        FindRelayAndEdit(n);
    else
        FindDoorAndEdit(n);
}

void CReadDoorRelay::FindDoorAndEdit(int n)
{
    CSessionLink link(*m_session);
    const DoorSearchResult found = n >= 0 && n < kDoorsPerDeck ? FindDoor(link, n) : DoorSearchResult();
    if (!found.found) {
        ShellMessage(parentWidget(), QStringLiteral("Door %1 not found").arg(n), QMessageBox::Ok,
                     QMessageBox::Critical, QStringLiteral("Error"));
        return;
    }
    // The door editor sees the door on a deck of the current generation.
    CDeck deck;
    deck.Clear(0);
    InitialiseNewDeck(deck);
    DoorRecord door;
    door.Reset(n);
    deck.doorMask = static_cast<uint16_t>(1u << n);
    deck.doorVersions[n] = static_cast<int16_t>(found.version);
    deck.readerMask = 0;
    if (found.reader) {
        deck.readerMask = static_cast<uint16_t>(1u << n);
        door.reader = 1;
    }
    CDoorDlg editor(parentWidget(), nullptr, &deck, &door, m_session, true, m_administrator);
    editor.exec();
}
