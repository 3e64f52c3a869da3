#include "registration.h"

#include "orvologging/monitordlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"

void RegisterMonitorDialogs(CFeatureRegistry& registry)
{
    // The shell opens the session before and closes it after.
    registry.Register(ID_ORVO_MONITOR, [](FeatureContext& context) {
        if (!context.session)
            return 0;
        // The demo installation talks among itself while someone listens,
        // so there is something to see.
        if (context.demoTraffic)
            context.demoTraffic(true);
        CMonitorDlg dialog(context.session, context.parent, &context);
        dialog.exec();
        if (context.demoTraffic)
            context.demoTraffic(false);
        return 0; // the monitor never changes the document
    });
}
