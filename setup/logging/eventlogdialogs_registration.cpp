#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterEventLogDialogs(CFeatureRegistry& registry)
{
    (void)registry;
}
