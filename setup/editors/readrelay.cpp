// The relay half of the single door/relay read.
#include "orvoeditors/readdoorrelay.h"

#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/devicesearch.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/buslink.h"

void CReadDoorRelay::FindRelayAndEdit(int n)
{
    CSessionLink link(*m_session);
    RelayUnitFound found;
    const bool answered = n >= 0 && n < kRelayPositions && FindRelayUnit(link, n, &found);
    if (!answered) {
        ShellMessage(parentWidget(), QStringLiteral("Relay %1 not found").arg(n), QMessageBox::Ok,
                     QMessageBox::Critical, QStringLiteral("Error"));
        return;
    }
    // The relay editor sees the unit on a deck of the current generation,
    // with the version and channel count it answered with.
    CDeck deck;
    deck.Clear(0);
    InitialiseNewDeck(deck);
    deck.relayMask = static_cast<uint16_t>(1u << n);
    deck.relayVersions[n] = found.version;
    deck.relayCounts[n] = found.count;
    RelayRecord relay;
    relay.node.index = n;
    if (!m_features || !m_features->Has(ID_EDIT_RELAY))
        return;
    FeatureContext context;
    context.parent = parentWidget();
    context.deck = &deck;
    context.relay = &relay;
    context.session = m_session;
    context.extended = found.extended;
    context.administrator = m_administrator;
    context.features = m_features;
    m_features->Run(ID_EDIT_RELAY, context);
}
