#pragma once

class CFeatureRegistry;

// Registers the dialogs of this part with the application's registry, which
// enables their commands in the menus and the tree.
void RegisterLogging(CFeatureRegistry& registry);
