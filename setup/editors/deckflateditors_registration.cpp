#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterDeckFlatEditors(CFeatureRegistry& registry)
{
    (void)registry;
}
