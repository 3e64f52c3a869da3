// Symbol visibility of the Wendrel library: everything is hidden unless marked.
#pragma once

#if defined(WENDREL_BUILDING)
#define WENDREL_API __attribute__((visibility("default")))
#else
#define WENDREL_API
#endif
