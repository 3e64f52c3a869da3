#include "registration.h"

#include "orvologging/eventlogdialogs.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"

void RegisterEventLogDialogs(CFeatureRegistry& registry)
{
    // The shell opens the session before and closes it after.
    registry.Register(ID_ORVO_LOGGING, [](FeatureContext& context) {
        if (!context.session)
            return 0;
        CLogging2Dlg dialog(context.session, context.parent);
        return dialog.exec();
    });
    registry.Register(ID_TEST_LOGGING, [](FeatureContext& context) {
        if (!context.session)
            return 0;
        CTestLoggingDlg dialog(context.session, context.parent);
        return dialog.exec();
    });
}
