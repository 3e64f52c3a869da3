// Whole-file writes for the model's files (document and access export).
#pragma once

#include <string>

// Writes text to path through a temporary file that replaces the old one only
// once everything is written, so a failed save keeps the previous file whole.
// On failure error (when given) gets "<path>: <reason>".
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
