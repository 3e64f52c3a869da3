#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterMonitorDialogs(CFeatureRegistry& registry)
{
    (void)registry;
}
