#include "orvoprocedures/busload.h"

#include <algorithm>

int StandardFrameCharacters(int paramCount)
{
    const int params = std::clamp(paramCount, 0, static_cast<int>(ORVO_MAX_PARAMS));
    // STX, 4 header bytes, code, count, parameters, checksum as two
    // characters each, ETX.
    return 1 + 2 * (4 + 2 + params + 1) + 1;
}

CBusLoad::CBusLoad(LineFormat line, int windowSeconds)
    : m_line(line), m_buckets(static_cast<size_t>(std::max(1, windowSeconds)))
{
}

void CBusLoad::Clear()
{
    for (Bucket& b : m_buckets)
        b = Bucket();
    m_newest = -1;
    m_windowFrames = 0;
    m_windowBits = 0;
    m_codeCounts.fill(0);
}

void CBusLoad::Advance(std::int64_t now)
{
    if (now <= m_newest)
        return;
    // Every second after the newest one up to now starts empty; once the
    // whole window has passed, every bucket is retired once.
    const std::int64_t from = std::max(m_newest + 1, now - WindowSeconds() + 1);
    for (std::int64_t s = from; s <= now; ++s) {
        Bucket& b = At(s);
        if (b.second >= 0) {
            m_windowFrames -= b.frames;
            m_windowBits -= b.bits;
            for (const auto& [code, count] : b.codes)
                m_codeCounts[code] -= count;
        }
        b.second = s;
        b.frames = 0;
        b.bits = 0;
        b.codes.clear();
    }
    m_newest = now;
}

void CBusLoad::Add(const _orvo_msg& msg, std::int64_t ms)
{
    const std::int64_t second = std::max<std::int64_t>(ms / 1000, m_newest);
    Advance(second);
    Bucket& b = At(second);
    const std::int64_t bits =
        static_cast<std::int64_t>(StandardFrameCharacters(msg.count)) * m_line.BitsPerCharacter();
    ++b.frames;
    b.bits += bits;
    auto code =
        std::find_if(b.codes.begin(), b.codes.end(), [&](const auto& c) { return c.first == msg.code; });
    if (code == b.codes.end())
        b.codes.emplace_back(msg.code, 1);
    else
        ++code->second;
    ++m_windowFrames;
    m_windowBits += bits;
    ++m_codeCounts[msg.code];
}

double CBusLoad::Share(std::int64_t bits) const
{
    return m_line.baud > 0 ? static_cast<double>(bits) / m_line.baud : 0.0;
}

std::vector<CBusLoad::Second> CBusLoad::Seconds(std::int64_t nowMs)
{
    const std::int64_t now = std::max<std::int64_t>(nowMs / 1000, m_newest);
    Advance(now);
    std::vector<Second> seconds;
    seconds.reserve(m_buckets.size());
    for (std::int64_t s = now - WindowSeconds() + 1; s <= now; ++s) {
        Second one;
        one.second = s;
        if (s >= 0) {
            const Bucket& b = At(s);
            if (b.second == s) {
                one.frames = b.frames;
                one.bits = b.bits;
            }
        }
        seconds.push_back(one);
    }
    return seconds;
}

long CBusLoad::WindowFrames(std::int64_t nowMs)
{
    Advance(std::max<std::int64_t>(nowMs / 1000, m_newest));
    return m_windowFrames;
}

double CBusLoad::WindowShare(std::int64_t nowMs)
{
    Advance(std::max<std::int64_t>(nowMs / 1000, m_newest));
    return Share(m_windowBits) / WindowSeconds();
}

std::vector<std::pair<int, long>> CBusLoad::MessageCounts(std::int64_t nowMs)
{
    Advance(std::max<std::int64_t>(nowMs / 1000, m_newest));
    std::vector<std::pair<int, long>> counts;
    for (int code = 0; code < 256; ++code)
        if (m_codeCounts[static_cast<size_t>(code)] > 0)
            counts.emplace_back(code, m_codeCounts[static_cast<size_t>(code)]);
    std::stable_sort(counts.begin(), counts.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return counts;
}

CBusLoad::Second CBusLoad::Peak(std::int64_t nowMs)
{
    Second peak;
    for (const Second& s : Seconds(nowMs))
        if (s.frames > peak.frames)
            peak = s;
    return peak;
}
