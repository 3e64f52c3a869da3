// Each area of this part registers its own dialogs.
#pragma once

class CFeatureRegistry;

void RegisterEventLogDialogs(CFeatureRegistry& registry);
void RegisterMonitorDialogs(CFeatureRegistry& registry);
