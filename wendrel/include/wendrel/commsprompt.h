// Questions the bus layer must put to the installer (port busy, adapter not
// found). The library stays free of widgets: the application answers them with
// its own message boxes, tests and the command line answer them directly.
#pragma once

#include <string>

#include "wendrel/export.h"

class WENDREL_API ICommsPrompt {
public:
    virtual ~ICommsPrompt() = default;

    // A box with Retry and Cancel and the error icon; true means Retry.
    virtual bool RetryCancel(const std::string& text) = 0;

    // A box with OK and the error icon.
    virtual void Message(const std::string& text) = 0;

    // A box with Yes and No and the error icon; true means Yes. Asked when the
    // adapter search fails but a port was configured. Implementations that do
    // not override it answer through RetryCancel (Retry standing for Yes).
    virtual bool YesNo(const std::string& text) { return RetryCancel(text); }
};
