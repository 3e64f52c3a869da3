#include "orvoadmin/admin.h"

#include "registration.h"

void RegisterAdmin(CFeatureRegistry& registry)
{
    RegisterAdminDialogs(registry);
}
