#include "orvoprocedures/timeleft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kStepsPerDeck = 24;

std::string Plural(long n, const char* unit)
{
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

// "about <amount> left", built by appending: GCC 12 warns falsely (-Wrestrict)
// on "literal" + std::string temporaries in optimised builds.
std::string About(const std::string& amount)
{
    std::string text = "about ";
    text += amount;
    text += " left";
    return text;
}

} // namespace

TimeLeft EstimateTimeLeft(int lower, int upper, int pos, double elapsedSeconds)
{
    TimeLeft result;
    const long total = static_cast<long>(upper) - lower;
    const long done = std::clamp<long>(static_cast<long>(pos) - lower, 0, std::max<long>(total, 0));
    if (total <= 0 || done >= total || !(elapsedSeconds > 0))
        return result;
    const long enough = std::max<long>(1, std::min<long>(kStepsPerDeck, total / 4));
    if (done < enough)
        return result;
    result.known = true;
    result.seconds = elapsedSeconds / static_cast<double>(done) * static_cast<double>(total - done);
    return result;
}

std::string TimeLeftText(double seconds)
{
    if (!(seconds >= 10))
        return "less than 10 seconds left";
    if (seconds < 60) {
        const long tens = std::lround(seconds / 10) * 10;
        return tens >= 60 ? "about 1 minute left" : About(Plural(tens, "second"));
    }
    const long minutes = std::lround(seconds / 60);
    if (minutes < 60)
        return About(Plural(minutes, "minute"));
    const long hours = minutes / 60;
    const long rest = minutes % 60;
    std::string amount = Plural(hours, "hour");
    if (rest) {
        amount += ' ';
        amount += Plural(rest, "minute");
    }
    return About(amount);
}

std::string ElapsedText(double seconds)
{
    const long total = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "elapsed %ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "elapsed %ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ProgressTimeText(int lower, int upper, int pos, double elapsedSeconds)
{
    std::string text = ElapsedText(elapsedSeconds);
    const TimeLeft left = EstimateTimeLeft(lower, upper, pos, elapsedSeconds);
    if (left.known)
        text += ", " + TimeLeftText(left.seconds);
    return text;
}
