#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterDoorEditors(CFeatureRegistry& registry)
{
    (void)registry;
}
