// Whole-file writes for every file the programs save (documents, exports,
// logs, lists).
#pragma once

#include <string>

// Writes text to path through a temporary file that replaces the old one only
// once everything is written, so a failed save keeps the previous file whole.
// A path naming something other than a regular file (a FIFO, a device, a
// folder) is refused; a symbolic link to a regular file writes that file.
// The new file keeps the permissions of the one it replaces. On failure error
// (when given) gets "<path>: <reason>" with the system's reason, or "<path>
// is not a regular file", and errorNumber (when given) the system's error
// number (EINVAL for a target that is not a regular file).
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error,
                         int* errorNumber = nullptr);

// False when path names something that exists and is not a regular file
// (after following symbolic links): targets a save must never replace.
bool IsWritableTarget(const std::string& path);
