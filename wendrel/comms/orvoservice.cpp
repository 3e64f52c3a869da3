// The deck service operations of the session: one encoding, CBusService's,
// over the session's own link.
#include "wendrel/busservice.h"
#include "wendrel/orvoserialconnection.h"

bool COrvoSerialConnection::GetLogCount(unsigned char deck, int* count)
{
    CSessionLink link(*this);
    return CBusService(link).GetLogCount(deck, count);
}

bool COrvoSerialConnection::GetLogItem(int deck, int index, _log_event* event)
{
    CSessionLink link(*this);
    return CBusService(link).GetLogItem(deck, index, event);
}

bool COrvoSerialConnection::ClearLog(unsigned char deck)
{
    CSessionLink link(*this);
    return CBusService(link).ClearLog(deck);
}

bool COrvoSerialConnection::GetMaxLog(int deck, int* areaSize, int* deviceSize)
{
    CSessionLink link(*this);
    return CBusService(link).GetMaxLog(deck, areaSize, deviceSize);
}

bool COrvoSerialConnection::ReadRandomLog(int deck, int address, int* value)
{
    CSessionLink link(*this);
    return CBusService(link).ReadRandomLog(deck, address, value);
}

bool COrvoSerialConnection::WriteRandomLog(int deck, int address, int value)
{
    CSessionLink link(*this);
    return CBusService(link).WriteRandomLog(deck, address, value);
}

bool COrvoSerialConnection::GetTime(unsigned char deck, std::time_t* time)
{
    CSessionLink link(*this);
    return CBusService(link).GetTime(deck, time);
}

bool COrvoSerialConnection::GetFirmware(int deck, double* version, bool* expansion)
{
    CSessionLink link(*this);
    return CBusService(link).GetFirmware(deck, version, expansion);
}

bool COrvoSerialConnection::Sync(std::time_t* sent)
{
    CSessionLink link(*this);
    return CBusService(link).Sync(sent);
}

void COrvoSerialConnection::Reset()
{
    CSessionLink link(*this);
    CBusService(link).Reset();
}
