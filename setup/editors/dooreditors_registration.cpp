#include "orvoeditors/doordlg.h"
#include "orvoeditors/readdoorrelay.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "registration.h"

void RegisterDoorEditors(CFeatureRegistry& registry)
{
    registry.Register(ID_EDIT_DOOR, [](FeatureContext& c) {
        if (!c.deck || !c.door || (c.online && !c.session))
            return 0;
        CDoorDlg dlg(c.parent, c.system, c.deck, c.door, c.session, c.online, c.administrator);
        const int result = dlg.exec();
        // The sub-editors store into the door on their own OK, so the
        // document may have changed even when the editor is cancelled.
        c.changed = result == QDialog::Accepted || dlg.SubEditorChangedDoor();
        return result;
    });
    registry.Register(ID_CONFIGURE_DOOR, [](FeatureContext& c) {
        CReadDoorRelay dlg(c.parent, c.session, c.system, NODE_DOOR);
        dlg.SetFeatures(c.features, c.administrator);
        return dlg.exec();
    });
}
