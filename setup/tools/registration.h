// Each area of this part registers its own dialogs.
#pragma once

class CFeatureRegistry;

void RegisterClockAndTestTools(CFeatureRegistry& registry);
