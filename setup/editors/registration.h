// Each area of this part registers its own dialogs.
#pragma once

class CFeatureRegistry;

void RegisterDeckFlatEditors(CFeatureRegistry& registry);
void RegisterDoorEditors(CFeatureRegistry& registry);
void RegisterRelayEditors(CFeatureRegistry& registry);
void RegisterRebootDialog(CFeatureRegistry& registry);
