#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterAdminDialogs(CFeatureRegistry& registry)
{
    (void)registry;
}
