#include "orvoeditors/editors.h"

#include "registration.h"

void RegisterEditors(CFeatureRegistry& registry)
{
    RegisterDeckFlatEditors(registry);
    RegisterDoorEditors(registry);
    RegisterRelayEditors(registry);
    RegisterRebootDialog(registry);
}
