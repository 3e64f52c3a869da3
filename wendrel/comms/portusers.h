// Who else has a serial device open, for the message of a busy port.
#pragma once

#include <string>

namespace wendrel {

// The processes other than this one that hold the device open, as
// "name (pid N)" joined by ", ", found through /proc. Empty when none is
// found, or when the system does not tell (an ordinary user cannot see
// another user's descriptors).
std::string otherUsersOf(const std::string& device);

} // namespace wendrel
