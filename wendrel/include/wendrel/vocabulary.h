// Printable names of bus message codes and node types.
#pragma once

#include "wendrel/export.h"
#include "wendrel/msgcodes.h"

extern "C" {

// Name of a message code ("MSG_ENQ"). An undefined code is formatted as "[%d]"
// into one buffer shared by the process, overwritten by the next such call.
WENDREL_API const char* MessageString(int code);

// Name of a node type 0-7 ("Engineer"); "" for any other value.
WENDREL_API const char* NodeTypeString(int type);
}
