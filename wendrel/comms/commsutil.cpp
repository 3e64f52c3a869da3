#include "commsutil.h"

#include <cstdarg>
#include <cstdio>

#include "wendrel/commsprompt.h"

namespace wendrel {

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0u, '\0');
    if (n > 0)
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    va_end(args);
    return out;
}

bool askRetryCancel(ICommsPrompt* prompt, const std::string& text)
{
    if (prompt)
        return prompt->RetryCancel(text);
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
}

bool askYesNo(ICommsPrompt* prompt, const std::string& text)
{
    if (prompt)
        return prompt->YesNo(text);
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
}

void showMessage(ICommsPrompt* prompt, const std::string& text)
{
    if (prompt)
        prompt->Message(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace wendrel
