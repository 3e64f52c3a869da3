#include "registration.h"

#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvotools/clockandtesttools.h"

namespace {

template <typename Dialog> void RegisterDialog(CFeatureRegistry& registry, int command)
{
    // The shell opens the session before and closes it after.
    registry.Register(command, [](FeatureContext& context) {
        if (!context.session)
            return 0;
        Dialog dialog(context.session, context.parent);
        return dialog.exec();
    });
}

} // namespace

void RegisterClockAndTestTools(CFeatureRegistry& registry)
{
    RegisterDialog<CRtcDlg>(registry, ID_ORVO_CLOCK);
    RegisterDialog<CTestDlg>(registry, ID_TEST_MESSAGING);
    RegisterDialog<CTestRfidTagDlg>(registry, ID_TEST_RFID);
    RegisterDialog<CEMCTestInfo>(registry, ID_TEST_EMC);
    RegisterDialog<CKX7SetupDlg>(registry, ID_CONFIGURE_KX7);
}
