// Small helpers shared by the port and the session; not exported.
#pragma once

#include <string>

class ICommsPrompt;

namespace wendrel {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Without a prompt the text goes to stderr and the answer is Cancel / No.
bool askRetryCancel(ICommsPrompt* prompt, const std::string& text);
bool askYesNo(ICommsPrompt* prompt, const std::string& text);
void showMessage(ICommsPrompt* prompt, const std::string& text);

} // namespace wendrel
