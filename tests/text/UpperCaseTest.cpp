#include "text/UpperCase.h"

#include <gtest/gtest.h>

namespace
{

TEST(UpperCaseUnit, ToUpperUnit_MapsByRangeRulesAndTable)
{
    struct Case
    {
        const char* name;
        u16 unit;
        u16 upper;
    };
    const Case cases[] = {
        { "NUL", 0x0000, 0x0000 },
        { "A stays", 0x0041, 0x0041 },
        { "backquote stays", 0x0060, 0x0060 },
        { "a", 0x0061, 0x0041 },
        { "z", 0x007A, 0x005A },
        { "brace stays", 0x007B, 0x007B },
        { "micro sign stays", 0x00B5, 0x00B5 },
        { "sharp s stays", 0x00DF, 0x00DF },
        { "a grave", 0x00E0, 0x00C0 },
        { "e acute", 0x00E9, 0x00C9 },
        { "division sign stays", 0x00F7, 0x00F7 },
        { "y diaeresis from the table", 0x00FF, 0x0178 },
        { "a macron", 0x0101, 0x0100 },
        { "A macron stays", 0x0100, 0x0100 },
        { "dotless i", 0x0131, 0x0049 },
        { "long s", 0x017F, 0x0053 },
        { "cyrillic be", 0x0431, 0x0411 },
        { "cyrillic io from the table", 0x0451, 0x0401 },
        { "final sigma", 0x03C2, 0x03A3 },
        { "beta symbol stays", 0x03D0, 0x03D0 },
        { "phi symbol stays", 0x03D5, 0x03D5 },
        { "pi symbol stays", 0x03D6, 0x03D6 },
        { "kappa symbol stays", 0x03F0, 0x03F0 },
        { "rho symbol stays", 0x03F1, 0x03F1 },
        { "armenian ayb", 0x0561, 0x0531 },
        { "armenian feh", 0x0586, 0x0556 },
        { "circled a", 0x24D0, 0x24B6 },
        { "circled z", 0x24E9, 0x24CF },
        { "georgian an", 0x2D00, 0x10A0 },
        { "glagolitic azu", 0x2C30, 0x2C00 },
        { "coptic alfa", 0x2C81, 0x2C80 },
        { "fullwidth a", 0xFF41, 0xFF21 },
        { "fullwidth z", 0xFF5A, 0xFF3A },
        { "cyrillic beyond the alternating block stays", 0x0527, 0x0527 },
        { "georgian letter of a later version stays", 0x10D0, 0x10D0 },
        { "latin small letter saltillo", 0xA78C, 0xA78B },
        { "above the table stays", 0xA78D, 0xA78D },
        { "high surrogate stays", 0xD83D, 0xD83D },
        { "FFFF stays", 0xFFFF, 0xFFFF },
    };
    for (const Case& c : cases)
        EXPECT_EQ((u16)ToUpperUnit((wch)c.unit), c.upper) << c.name;
}

TEST(UpperCaseTable, HoldsThe402PairsInOrder)
{
    ASSERT_EQ(kUpperCasePairCount, 402);
    EXPECT_EQ(kUpperCasePairs[0].lower, 0x00F8);
    EXPECT_EQ(kUpperCasePairs[0].upper, 0x00D8);
    EXPECT_EQ(kUpperCasePairs[401].lower, 0xA78C);
    EXPECT_EQ(kUpperCasePairs[401].upper, 0xA78B);
    for (int i = 1; i < kUpperCasePairCount; ++i)
        EXPECT_LT(kUpperCasePairs[i - 1].lower, kUpperCasePairs[i].lower) << "row " << i;
}

TEST(UpperCaseTable, HoldsTheTellingRows)
{
    struct Row
    {
        u16 lower;
        u16 upper;
    };
    const Row rows[] = {
        { 0x00FF, 0x0178 }, { 0x0131, 0x0049 }, { 0x017F, 0x0053 }, { 0x0345, 0x0399 },
        { 0x03C2, 0x03A3 }, { 0x03D1, 0x0398 }, { 0x03F5, 0x0395 }, { 0x023F, 0x2C7E },
        { 0x1E9B, 0x1E60 }, { 0x1F80, 0x1F88 }, { 0x1FBE, 0x0399 }, { 0x1D79, 0xA77D },
    };
    for (const Row& row : rows)
    {
        int found = 0;
        for (int i = 0; i < kUpperCasePairCount; ++i)
        {
            if (kUpperCasePairs[i].lower == row.lower)
            {
                found = 1;
                EXPECT_EQ(kUpperCasePairs[i].upper, row.upper) << std::hex << "row " << row.lower;
            }
        }
        EXPECT_TRUE(found) << std::hex << "row " << row.lower;
    }
}

TEST(UpperCaseTable, LeavesTheSymbolFormsOut)
{
    const u16 leftOut[] = { 0x00B5, 0x03D0, 0x03D5, 0x03D6, 0x03F0, 0x03F1 };
    for (u16 unit : leftOut)
    {
        for (int i = 0; i < kUpperCasePairCount; ++i)
            EXPECT_NE(kUpperCasePairs[i].lower, unit) << std::hex << "unit " << unit;
    }
}

TEST(UpperCaseTable, EveryRowIsReachedThroughToUpperUnit)
{
    for (int i = 0; i < kUpperCasePairCount; ++i)
    {
        EXPECT_EQ((u16)ToUpperUnit((wch)kUpperCasePairs[i].lower), kUpperCasePairs[i].upper)
            << std::hex << "row " << kUpperCasePairs[i].lower;
    }
}

} // namespace
