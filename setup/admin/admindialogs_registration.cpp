#include "registration.h"

#include "orvoadmin/admindialogs.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/setupapp.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/shellsettings.h"
#include "wendrel/orvoserialconnection.h"

namespace {

// Stores the dialog's values in the system, the settings store and the live
// state, in this order.
void ApplyOptions(const COptionsDlg& dlg, CSetupApp* app, COrvoSystem* system)
{
    const QString comms = QStringLiteral("Comms");
    const QString orvo = QStringLiteral("Orvo");
    system->defaultExpName = TextToModel(dlg.defaultExpName);
    system->defaultMainName = TextToModel(dlg.defaultMainName);
    system->showResults = dlg.showResults ? 1 : 0;
    system->maxEmptySlots = dlg.maxEmptySlots;
    system->StoreUserSettings();

    app->comms.comPort = dlg.comPort;
    WriteProfileInt(comms, QStringLiteral("Port"), dlg.comPort);
    app->comms.device = dlg.device;
    WriteProfileString(comms, QStringLiteral("Device"), dlg.device);

    app->comms.timeoutMultiplier = dlg.timeoutMultiplier;
    WriteProfileString(comms, QStringLiteral("Timeout"), QString::asprintf("%lf", dlg.timeoutMultiplier));
    COrvoSerialConnection::SetTimeoutMult(dlg.timeoutMultiplier);

    app->comms.autoCommPort = dlg.autoCommPort ? 1 : 0;
    WriteProfileInt(comms, QStringLiteral("Auto Comm Port"), app->comms.autoCommPort);
    app->comms.adapterLabel = dlg.adapterLabel;
    WriteProfileString(comms, QStringLiteral("Quendral Label"), dlg.adapterLabel);

    app->comms.usePasswords = dlg.usePasswords ? 1 : 0;
    WriteProfileInt(orvo, QStringLiteral("Use Passwords"), app->comms.usePasswords);
    app->comms.administrator = dlg.administrator > 0 ? 1 : 0;
    WriteProfileInt(orvo, QStringLiteral("Administrator"), app->comms.administrator);
    app->comms.showDuplicatesReport = dlg.showDuplicatesReport ? 1 : 0;
    WriteProfileInt(orvo, QStringLiteral("Show Duplicates Report"), app->comms.showDuplicatesReport);
}

int RunOptions(FeatureContext& context)
{
    CSetupApp* app = CSetupApp::Instance();
    if (!app || !app->Doc())
        return 0;
    COrvoSystem* system = app->Doc()->System();
    COptionsDlg dlg(context.parent);
    dlg.comPort = app->comms.comPort;
    dlg.device = app->comms.device;
    dlg.timeoutMultiplier = app->comms.timeoutMultiplier;
    dlg.autoCommPort = app->comms.autoCommPort != 0;
    dlg.adapterLabel = app->comms.adapterLabel;
    dlg.usePasswords = app->comms.usePasswords != 0;
    dlg.showDuplicatesReport = app->comms.showDuplicatesReport != 0;
    dlg.administrator = app->comms.administrator;
    dlg.loginLevel = app->accessLevel;
    dlg.defaultMainName = TextFromModel(system->defaultMainName);
    dlg.defaultExpName = TextFromModel(system->defaultExpName);
    dlg.showResults = system->showResults != 0;
    dlg.maxEmptySlots = system->maxEmptySlots;
    if (dlg.exec() != QDialog::Accepted)
        return 0;
    ApplyOptions(dlg, app, system);
    return 1;
}

} // namespace

void RegisterAdminDialogs(CFeatureRegistry& registry)
{
    // Passwords: the shell hands over a copy of the user list and keeps it only on OK.
    registry.Register(ID_VIEW_PASSWORDS, [](FeatureContext& context) {
        if (!context.users)
            return 0;
        CUserListDlg dlg(context.parent, context.users);
        return dlg.exec() == QDialog::Accepted ? 1 : 0;
    });
    registry.Register(ID_ORVO_OPTIONS, RunOptions);
}
