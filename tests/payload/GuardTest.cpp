#include "payload/Guard.h"

#include "PayloadTestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace
{
using payloadtest::TestKeyBlock;

// A guard loaded with the test block whose bytes are then replaced, so the
// single steps can be run on known contents.
class GuardStepTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<u8> block = TestKeyBlock();
        ASSERT_TRUE(m_guard.Load(block.data(), (int)block.size()));
        for (int i = 0; i < m_guard.m_size; ++i)
            m_guard.m_block[i] = (u8)i;
    }

    std::vector<u8> Bytes() const { return std::vector<u8>(m_guard.m_block, m_guard.m_block + m_guard.m_size); }

    CGuard m_guard;
};

TEST_F(GuardStepTest, Move_CopiesOverlappingRangesAsTheyWereBefore)
{
    struct Case
    {
        const char* name;
        i32 target;
        i32 source;
        i32 count;
        i32 copied;  // bytes that reach the target
    };
    const Case cases[] = {
        {"downward overlap", 10, 5, 8, 8},
        {"upward overlap", 5, 10, 8, 8},
        {"target clamped at the end", 960, 0, 20, 8},
        {"source clamped at the end", 0, 960, 20, 8},
        {"equal positions", 100, 100, 50, 50},
        {"last byte", 967, 0, 1, 1},
    };
    for (const Case& c : cases)
    {
        SetUp();
        std::vector<u8> before = Bytes();
        m_guard.Move(c.target, c.source, c.count);
        std::vector<u8> expected = before;
        memmove(expected.data() + c.target, before.data() + c.source, c.copied);
        EXPECT_EQ(expected, Bytes()) << c.name;
    }
}

TEST_F(GuardStepTest, Move_OutsideTheBlockDoesNothing)
{
    struct Case
    {
        const char* name;
        i32 target;
        i32 source;
        i32 count;
    };
    const Case cases[] = {
        {"target at the end", 968, 0, 1},
        {"negative source", 0, -1, 1},
        {"negative target", -5, 10, 4},
        {"source past the end", 0, 2000, 4},
        {"zero count", 10, 20, 0},
    };
    for (const Case& c : cases)
    {
        SetUp();
        std::vector<u8> before = Bytes();
        m_guard.Move(c.target, c.source, c.count);
        EXPECT_EQ(before, Bytes()) << c.name;
    }
}

TEST_F(GuardStepTest, XorPass_AppliesTheByteAsItWasBeforeThePass)
{
    struct Case
    {
        const char* name;
        i32 start;
        i32 count;
        i32 byteIndex;
        i32 changed;  // bytes changed from start on
    };
    const Case cases[] = {
        {"index before the range", 104, 454, 42, 454},
        {"index inside the range", 100, 50, 120, 50},
        {"count clamped at the end", 900, 200, 3, 68},
        {"whole block", 0, 968, 967, 968},
    };
    for (const Case& c : cases)
    {
        SetUp();
        std::vector<u8> before = Bytes();
        m_guard.XorPass(c.start, c.count, c.byteIndex);
        std::vector<u8> expected = before;
        for (i32 i = 0; i < c.changed; ++i)
            expected[c.start + i] ^= before[c.byteIndex];
        EXPECT_EQ(expected, Bytes()) << c.name;
        if (c.byteIndex >= c.start && c.byteIndex < c.start + c.changed)
        {
            EXPECT_EQ(0, m_guard.m_block[c.byteIndex]) << c.name;
        }
    }
}

TEST_F(GuardStepTest, XorPass_OutsideTheBlockDoesNothing)
{
    const i32 cases[][3] = {{968, 10, 0}, {-1, 10, 0}, {0, 10, 968}, {0, 10, -1}};
    for (const auto& c : cases)
    {
        SetUp();
        std::vector<u8> before = Bytes();
        m_guard.XorPass(c[0], c[1], c[2]);
        EXPECT_EQ(before, Bytes()) << "start " << c[0] << " byte " << c[2];
    }
}

class GuardLoadTest : public ::testing::Test
{
};

TEST_F(GuardLoadTest, Load_AcceptsOnlyTheExactLength)
{
    std::vector<u8> block = TestKeyBlock();
    block.resize(969);
    struct Case
    {
        const char* name;
        const void* source;
        int length;
        int loaded;
    };
    const Case cases[] = {
        {"967 bytes", block.data(), 967, 0},
        {"969 bytes", block.data(), 969, 0},
        {"zero length", block.data(), 0, 0},
        {"null source", nullptr, 968, 0},
        {"968 bytes", block.data(), 968, 1},
    };
    for (const Case& c : cases)
    {
        CGuard guard;
        EXPECT_EQ(c.loaded, guard.Load(c.source, c.length)) << c.name;
        EXPECT_EQ(c.loaded != 0, guard.Block() != nullptr) << c.name;
        i32 length = 0;
        EXPECT_EQ(c.loaded != 0, guard.KeyWindow(&length) != nullptr) << c.name;
    }
}

TEST_F(GuardLoadTest, Load_UnscramblesWithBothMovesThenTheXorPass)
{
    std::vector<u8> block = TestKeyBlock();
    std::vector<u8> expected = block;
    memmove(expected.data() + 414, expected.data() + 240, 65);
    memmove(expected.data() + 395, expected.data() + 637, 205);
    const u8 b = expected[42];
    for (int i = 104; i < 104 + 454; ++i)
        expected[i] ^= b;

    CGuard guard;
    ASSERT_TRUE(guard.Load(block.data(), (int)block.size()));
    EXPECT_EQ(0, memcmp(expected.data(), guard.Block(), 968));
    i32 length = 0;
    const u8* key = guard.KeyWindow(&length);
    EXPECT_EQ(495, length);
    EXPECT_EQ(guard.Block() + 352, key);
}

TEST_F(GuardLoadTest, Load_ReplacesTheHeldBlockAndAFailedLoadHoldsNothing)
{
    std::vector<u8> first = TestKeyBlock(1);
    std::vector<u8> second = TestKeyBlock(2);
    CGuard a;
    CGuard b;
    ASSERT_TRUE(a.Load(first.data(), 968));
    ASSERT_TRUE(b.Load(second.data(), 968));
    ASSERT_TRUE(a.Load(second.data(), 968));
    EXPECT_EQ(0, memcmp(a.Block(), b.Block(), 968));

    EXPECT_FALSE(a.Load(second.data(), 967));
    EXPECT_EQ(nullptr, a.Block());
}

TEST_F(GuardLoadTest, Release_EmptiesTheGuardAndIsHarmlessTwice)
{
    std::vector<u8> block = TestKeyBlock();
    CGuard guard;
    ASSERT_TRUE(guard.Load(block.data(), 968));
    guard.Release();
    EXPECT_EQ(nullptr, guard.Block());
    EXPECT_EQ(nullptr, guard.KeyWindow(nullptr));
    guard.Release();
    EXPECT_EQ(nullptr, guard.Block());
}
}
