// The JSON access export's text against the cJSON-built reference, byte for
// byte: seeded random feeds with every kind of awkward text, and a full
// installation's worth of keys.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cjsonaccessreference.h"
#include "orvomodel/accessexport.h"

namespace {

// Feeds the same calls to both builders.
struct Both {
    AccessExport fast;
    CJsonAccessReference reference;

    void Today(int y, int m, int d)
    {
        fast.SetToday(y, m, d);
        reference.SetToday(y, m, d);
    }
    void Range(int deck, int index, int min, int max)
    {
        EXPECT_EQ(fast.OfferRange(deck, index, min, max), reference.OfferRange(deck, index, min, max));
    }
    void Apartment(int deck, int slot, const std::string& address)
    {
        fast.OfferApartment(deck, slot, address);
        reference.OfferApartment(deck, slot, address);
    }
    void Key(int deck, const std::string& rfid, const std::string& address)
    {
        fast.OfferKey(deck, rfid, address);
        reference.OfferKey(deck, rfid, address);
    }
    void Door(int deck, int door, int range)
    {
        EXPECT_EQ(fast.OfferDoorArea(deck, door, range), reference.OfferDoorArea(deck, door, range));
    }
    void Reset()
    {
        fast.Reset();
        reference.Reset();
    }
};

// Text of up to 12 bytes drawn from digits, letters, quotes, backslashes,
// control bytes, high bytes and NUL.
std::string AwkwardText(std::mt19937& rng)
{
    static const std::string kPool =
        std::string("0123456789ABCDEFabz \"\\/\b\f\n\r\t\x01\x1F\x7F\x80\xE9\xFF", 35) + std::string(1, '\0');
    std::string text;
    const size_t length = rng() % 13;
    for (size_t i = 0; i < length; ++i)
        text += kPool[rng() % kPool.size()];
    return text;
}

TEST(ExportText, MatchesTheReferenceForRandomFeeds)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        Both both;
        both.Today(2026, 1 + seed % 12, 1 + seed % 28);
        const int decks = 1 + static_cast<int>(rng() % 20);
        for (int deck = 0; deck < decks; ++deck) {
            for (int r = 0; r < 3; ++r) {
                const int min = static_cast<int>(rng() % 500);
                both.Range(deck, r, min, min + static_cast<int>(rng() % 200));
            }
            for (int slot = 1; slot <= 1 + static_cast<int>(rng() % 24); ++slot) {
                std::string address = rng() % 3 ? std::to_string(rng() % 700) : AwkwardText(rng);
                both.Apartment(deck, slot, address);
                for (int k = 0; k < static_cast<int>(rng() % 4); ++k)
                    both.Key(deck,
                             rng() % 4 ? "12AB000F" + std::to_string(rng() % 90 + 10) : AwkwardText(rng),
                             address);
            }
            for (int door = 0; door < 4; ++door)
                both.Door(deck, door, static_cast<int>(rng() % 4));
        }
        ASSERT_EQ(both.fast.Text(), both.reference.Text()) << "seed " << seed;
        // Asked again, the same text; after a reset, the same again.
        ASSERT_EQ(both.fast.Text(), both.reference.Text()) << "seed " << seed;
        both.Reset();
        both.Range(0, 0, 1, 9);
        both.Key(0, "FFFFFFFFFF", "5");
        ASSERT_EQ(both.fast.Text(), both.reference.Text()) << "seed " << seed;
    }
}

TEST(ExportText, EmptyDocumentMatchesTheReference)
{
    Both both;
    both.Today(2026, 3, 4);
    EXPECT_EQ(both.fast.Text(), both.reference.Text());
}

TEST(ExportText, OverflowGivesNoTextInBoth)
{
    Both both;
    for (int i = 0; i <= AccessExport::kMaxAreas; ++i)
        both.Range(0, i, i * 10, i * 10 + 5);
    EXPECT_TRUE(both.fast.Overflow());
    EXPECT_EQ(both.fast.Text(), "");
    EXPECT_EQ(both.reference.Text(), "");
}

TEST(ExportText, FullInstallationMatchesTheReference)
{
    Both both;
    both.Today(2028, 2, 29);
    char tag[16];
    for (int deck = 0; deck < 255; ++deck) {
        if (deck < 14)
            both.Range(deck, 0, deck + 1, deck + 1);
        for (int slot = 0; slot < 24; ++slot) {
            const std::string address = std::to_string(deck * 100 + slot + 1);
            both.Apartment(deck, slot + 1, address);
            for (int t = 0; t < 10; ++t) {
                std::snprintf(tag, sizeof tag, "%010X", (deck * 24 + slot) * 10 + t + 1);
                both.Key(deck, tag, address);
            }
        }
        for (int door = 0; door < 4; ++door)
            both.Door(deck, door, door == 1 && deck < 14 ? 1 : 0);
    }
    const std::string text = both.fast.Text();
    EXPECT_EQ(text, both.reference.Text());
    EXPECT_GT(text.size(), 15'000'000u); // every key is in it
}

} // namespace
