#include "registration.h"

#include "orvoeditors/relaydlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"

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
}
