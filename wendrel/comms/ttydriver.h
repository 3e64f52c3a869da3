// What the port asks of a tty driver beyond termios: the serial flags, where
// USB serial adapters keep their low-latency switch. The calls go through a
// table so that tests can stand in for an adapter's driver (a pseudo-terminal
// answers none of these requests).
#pragma once

#include <linux/serial.h>

#include "wendrel/export.h"

namespace wendrel {

struct TtyDriver {
    // TIOCGSERIAL and TIOCSSERIAL: 0, or -1 with errno set.
    int (*getSerial)(int fd, serial_struct* info);
    int (*setSerial)(int fd, const serial_struct* info);
};

// Replaces the driver calls; nullptr puts the system's back. Not for use
// while a port is being opened or closed on another thread.
WENDREL_API void SetTtyDriver(const TtyDriver* driver);

// Asks the driver to hand received bytes on at once (ASYNC_LOW_LATENCY; the
// FTDI driver then runs its latency timer at 1 ms instead of 16). True when
// the setting was changed, so that closing must give the old one back. A
// driver that has no such request, or refuses it, is left as it is: the line
// works, only slower.
bool RequestLowLatency(int fd);
// Clears the low-latency flag again, keeping every other flag as the driver
// has it now. Failures are of no interest: the adapter may be gone.
void RestoreLatency(int fd);

} // namespace wendrel
