#include "ttydriver.h"

#include <sys/ioctl.h>

namespace wendrel {

namespace {

int systemGetSerial(int fd, serial_struct* info)
{
    return ::ioctl(fd, TIOCGSERIAL, info);
}

int systemSetSerial(int fd, const serial_struct* info)
{
    return ::ioctl(fd, TIOCSSERIAL, info);
}

const TtyDriver kSystemDriver{systemGetSerial, systemSetSerial};
const TtyDriver* g_driver = &kSystemDriver;

} // namespace

void SetTtyDriver(const TtyDriver* driver)
{
    g_driver = driver ? driver : &kSystemDriver;
}

bool RequestLowLatency(int fd)
{
    serial_struct info{};
    if (g_driver->getSerial(fd, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY))
        return false;
    // Everything else goes back exactly as read: some drivers refuse an
    // ordinary user any other change.
    info.flags |= ASYNC_LOW_LATENCY;
    return g_driver->setSerial(fd, &info) == 0;
}

void RestoreLatency(int fd)
{
    serial_struct info{};
    if (g_driver->getSerial(fd, &info) != 0 || !(info.flags & ASYNC_LOW_LATENCY))
        return;
    info.flags &= ~ASYNC_LOW_LATENCY;
    g_driver->setSerial(fd, &info);
}

} // namespace wendrel
