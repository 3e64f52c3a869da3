#include "orvoeditors/adddlgs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/flatdlg.h"
#include "orvoeditors/keytagsfile.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "registration.h"

namespace {

// Runs an add dialog and, after it has closed with OK, applies its list.
template <typename Dialog, typename Target> int RunAdd(FeatureContext& context, Target* target)
{
    if (!target)
        return 0;
    Dialog dlg(context.parent, target);
    const int result = dlg.exec();
    if (result == QDialog::Accepted && dlg.Apply())
        context.changed = true;
    return result;
}

} // namespace

void RegisterDeckFlatEditors(CFeatureRegistry& registry)
{
    registry.Register(ID_EDIT_DECK, [](FeatureContext& context) {
        if (!context.deck)
            return 0;
        CDeckDlg dlg(context.parent, context.deck, context.administrator);
        const int result = dlg.exec();
        if (dlg.ChangedModel())
            context.changed = true;
        return result;
    });
    registry.Register(ID_EDIT_FLAT, [](FeatureContext& context) {
        if (!context.system || !context.deck || !context.flat)
            return 0;
        int result = 0;
        if (context.keyTags) {
            CFlatWithRfidTagsDlg dlg(context.parent, context.system, context.deck, context.flat);
            result = dlg.exec();
        } else {
            CFlatDlg dlg(context.parent, context.system, context.deck, context.flat);
            result = dlg.exec();
        }
        if (result == QDialog::Accepted)
            context.changed = true;
        return result;
    });
    registry.Register(ID_EDIT_SYSTEM, [](FeatureContext& context) {
        if (!context.system)
            return 0;
        CSystemDlg dlg(context.parent, context.system);
        const int result = dlg.exec();
        if (result == QDialog::Accepted)
            context.changed = true;
        return result;
    });
    registry.Register(ID_ADD_DECKS,
                      [](FeatureContext& context) { return RunAdd<CAddDeckDlg>(context, context.system); });
    registry.Register(ID_ADD_FLATS,
                      [](FeatureContext& context) { return RunAdd<CAddFlatDlg>(context, context.deck); });
    registry.Register(ID_ADD_DOORS,
                      [](FeatureContext& context) { return RunAdd<CAddDoorDlg>(context, context.deck); });
    registry.Register(ID_FILE_EXPORT_KEY_TAGS, [](FeatureContext& context) {
        return context.system && ExportKeyTags(context.parent, *context.system) ? 1 : 0;
    });
    registry.Register(ID_FILE_IMPORT_KEY_TAGS, [](FeatureContext& context) {
        if (!context.system || !ImportKeyTags(context.parent, *context.system))
            return 0;
        context.changed = true;
        return 1;
    });
}
