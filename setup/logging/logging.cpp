#include "orvologging/logging.h"

#include "registration.h"

void RegisterLogging(CFeatureRegistry& registry)
{
    RegisterEventLogDialogs(registry);
    RegisterMonitorDialogs(registry);
}
