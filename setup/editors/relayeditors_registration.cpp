#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterRelayEditors(CFeatureRegistry& registry)
{
    (void)registry;
}
