#include "orvotools/tools.h"

#include "registration.h"

void RegisterTools(CFeatureRegistry& registry)
{
    RegisterClockAndTestTools(registry);
}
