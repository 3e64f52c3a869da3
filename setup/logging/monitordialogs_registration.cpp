#include "registration.h"

#include "orvologging/monitordlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/setupapp.h"
#include "orvosim/simulator.h"

namespace {

constexpr double kDemoTrafficRate = 3; // frames a second

} // namespace

void RegisterMonitorDialogs(CFeatureRegistry& registry)
{
    // The shell opens the session before and closes it after.
    registry.Register(ID_ORVO_MONITOR, [](FeatureContext& context) {
        if (!context.session)
            return 0;
        // The demo installation talks among itself while someone listens,
        // so there is something to see.
        CSetupApp* app = CSetupApp::Instance();
        orvosim::Simulator* demo = app ? app->DemoSimulator() : nullptr;
        if (demo)
            demo->setTrafficRate(kDemoTrafficRate);
        CMonitorDlg dialog(context.session, context.parent);
        dialog.exec();
        if (demo)
            demo->setTrafficRate(0);
        return 0; // the monitor never changes the document
    });
}
