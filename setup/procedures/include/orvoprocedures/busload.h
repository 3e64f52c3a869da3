// The load on the bus over the last minutes, from the frames the monitor
// decodes: frames a second, the share of the line's capacity they take at the
// line's speed, and how often each message came. Frames are counted into
// one-second buckets as they arrive, so adding a frame and reading the figures
// cost the same however busy the line is.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "wendrel/orvomsg.h"

// How characters go over the line: one start bit, the data bits, an optional
// parity bit and the stop bits.
struct LineFormat {
    int baud = 9600;
    int dataBits = 8;
    bool parity = false;
    int stopBits = 1;

    int BitsPerCharacter() const { return 1 + dataBits + (parity ? 1 : 0) + stopBits; }
};

// Characters a standard frame takes on the line: STX, the hexadecimal text
// (header, code, count, parameters, checksum) and ETX.
int StandardFrameCharacters(int paramCount);

class CBusLoad {
public:
    static constexpr int kDefaultWindowSeconds = 300;

    explicit CBusLoad(LineFormat line = LineFormat(), int windowSeconds = kDefaultWindowSeconds);

    const LineFormat& Line() const { return m_line; }
    int WindowSeconds() const { return static_cast<int>(m_buckets.size()); }

    // One frame seen at the given time (milliseconds on a steady clock).
    // Times going backwards count into the newest second.
    void Add(const _orvo_msg& msg, std::int64_t ms);
    // Forgets everything.
    void Clear();

    struct Second {
        std::int64_t second = 0; // steady-clock second
        int frames = 0;
        std::int64_t bits = 0;
    };
    // The seconds of the window ending with the one that holds nowMs, oldest
    // first, quiet ones included (WindowSeconds() of them).
    std::vector<Second> Seconds(std::int64_t nowMs);
    // Share of the line's capacity the bits take in one second (0 to 1; more
    // when the frames' times were bunched).
    double Share(std::int64_t bits) const;

    // Over the whole window ending at nowMs: frames, their share of the
    // line, and per message code the frames that came, most frequent first
    // (equal counts by code).
    long WindowFrames(std::int64_t nowMs);
    double WindowShare(std::int64_t nowMs);
    std::vector<std::pair<int, long>> MessageCounts(std::int64_t nowMs);
    // The busiest second of the window.
    Second Peak(std::int64_t nowMs);

private:
    struct Bucket {
        std::int64_t second = -1;
        int frames = 0;
        std::int64_t bits = 0;
        std::vector<std::pair<unsigned char, int>> codes; // few per second
    };
    // Retires the seconds that fell out of the window ending at second now.
    void Advance(std::int64_t now);
    Bucket& At(std::int64_t second) { return m_buckets[static_cast<size_t>(second % WindowSeconds())]; }

    LineFormat m_line;
    std::vector<Bucket> m_buckets;
    std::int64_t m_newest = -1; // newest second the window reaches
    long m_windowFrames = 0;
    std::int64_t m_windowBits = 0;
    std::array<long, 256> m_codeCounts{};
};
