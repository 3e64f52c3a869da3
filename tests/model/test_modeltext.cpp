#include "orvomodel/modeltext.h"

#include <gtest/gtest.h>

TEST(ModelText, everyByteRoundTripsThroughText)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(TextToModel(TextFromModel(all)), all);
}

TEST(ModelText, convertsTheCodePageBothWays)
{
    struct Case {
        std::string bytes;
        QString text;
    };
    const Case cases[] = {
        {"Caf\xE9", QStringLiteral("Café")},
        {"\xDC"
         "ber \x80"
         "5",
         QStringLiteral("Über €5")},
        {"\x9F", QString(QChar(0x0178))},
        {"\x81", QString(QChar(0x0081))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextFromModel(c.bytes), c.text);
        bool replaced = true;
        EXPECT_EQ(TextToModel(c.text, &replaced), c.bytes);
        EXPECT_FALSE(replaced);
    }
    EXPECT_EQ(ModelTextToUtf8("Caf\xE9"), "Café");
}

TEST(ModelText, charactersOutsideTheCodePageBecomeQuestionMarks)
{
    bool replaced = false;
    EXPECT_EQ(TextToModel(QStringLiteral("Łódź"), &replaced), "?\xF3"
                                                              "d?");
    EXPECT_TRUE(replaced);
    EXPECT_EQ(TextToModel(QString::fromUtf8("a\xF0\x9F\x94\x91"
                                            "b"),
                          &replaced),
              "a?b"); // one emoji, one '?'
}
