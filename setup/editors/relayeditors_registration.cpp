#include "orvoeditors/readdoorrelay.h"
#include "orvoeditors/relaydlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "registration.h"

void RegisterRelayEditors(CFeatureRegistry& registry)
{
    // Edit Relay: the shell has checked the deck's firmware and opened the session;
    // Configure Relay says whether the unit answered the extended enquiry.
    registry.Register(ID_EDIT_RELAY, [](FeatureContext& context) {
        if (!context.deck || !context.relay || !context.session)
            return 0;
        CRelayDlg dlg(context.parent, context.system, context.deck, context.relay, context.session,
                      context.extended);
        dlg.ReadUnit();
        return dlg.exec() == QDialog::Accepted ? 1 : 0;
    });
    // Configure Relay: the single relay read, which opens Edit Relay on the unit found.
    registry.Register(ID_CONFIGURE_RELAY, [](FeatureContext& c) {
        CReadDoorRelay dlg(c.parent, c.session, c.system, NODE_RELAY);
        dlg.SetFeatures(c.features, c.administrator);
        return dlg.exec();
    });
}
