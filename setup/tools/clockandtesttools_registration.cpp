#include "registration.h"

#include "orvoshell/featuredialogs.h"

void RegisterClockAndTestTools(CFeatureRegistry& registry)
{
    (void)registry;
}
