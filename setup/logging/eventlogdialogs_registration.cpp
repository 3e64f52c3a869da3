#include "registration.h"

#include "orvologging/eventlogdialogs.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"

void RegisterEventLogDialogs(CFeatureRegistry& registry)
{
    registry.Register(ID_ORVO_LOGGING, [](FeatureContext& context) {
        CLogging2Dlg dialog(context.session, context.parent);
        return dialog.exec();
    });
    registry.Register(ID_TEST_LOGGING, [](FeatureContext& context) {
        CTestLoggingDlg dialog(context.session, context.parent);
        return dialog.exec();
    });
}
