// Module version and file path, for the About box.
//
// A module handle is any address inside a shared object or the program (null
// stands for the program itself); the file path comes from the dynamic loader.
// Versions are compiled into each module: the library knows its own, and the
// application registers its own with JSetModuleVersion.
#pragma once

#include <QString>

#include "wendrel/export.h"

using HMODULE_W = const void*;

// The library's own module handle, set when the library is loaded.
WENDREL_API extern HMODULE_W g_hLibInstance;

// path receives the module's file path. version receives the module's version
// text (at most 19 characters, commas turned into full stops) when the module
// has one; otherwise it is left unchanged. Returns true.
WENDREL_API bool JVersion(HMODULE_W module, QString& version, QString& path);

// Gives the module containing address module (null: the program) its version
// text, as its version resource would, for example "1, 2, 0, 5".
WENDREL_API void JSetModuleVersion(HMODULE_W module, const QString& version);
