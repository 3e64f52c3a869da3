#include "registration.h"

#include "orvoadmin/admindialogs.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"

void RegisterAdminDialogs(CFeatureRegistry& registry)
{
    // Passwords: the shell hands over a copy of the user list and keeps it only on OK.
    registry.Register(ID_VIEW_PASSWORDS, [](FeatureContext& context) {
        if (!context.users)
            return 0;
        CUserListDlg dlg(context.parent, context.users);
        return dlg.exec() == QDialog::Accepted ? 1 : 0;
    });
    // Options: the shell hands over the settings in force and applies them after OK.
    registry.Register(ID_ORVO_OPTIONS, [](FeatureContext& context) {
        if (!context.settings)
            return 0;
        COptionsDlg dlg(context.parent, *context.settings, context.accessLevel);
        if (dlg.exec() != QDialog::Accepted)
            return 0;
        *context.settings = dlg.Settings();
        return 1;
    });
}
