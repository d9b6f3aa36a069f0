#include "payload/Guard.h"

#include "payload/ItemCodec.h"
#include "PayloadTestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <vector>

namespace
{
using namespace payloadtest;

const u32 kUserValue = 0x1234ABCD;
const u32 kUntouched = 0xDEADBEEF;

// Offsets of the header fields in the plaintext.
const size_t kStoredSizeAt = 0;
const size_t kInflatedSizeAt = 4;
const size_t kDeflateLengthAt = 8;
const size_t kInflatedCrcAt = 12;
const size_t kDeflateCrcAt = 16;

class DecodeItemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<u8> block = TestKeyBlock();
        ASSERT_TRUE(m_guard.Load(block.data(), (int)block.size()));
        m_data = SampleData(5000);
        m_item = Pack(m_guard, m_data, kUserValue);
        ASSERT_FALSE(m_item.empty());
    }

    // Expects a refusal that leaves size and the user value as they were.
    void ExpectRefused(const std::vector<u8>& item, u32 catalogueSize, const char* name)
    {
        u32 size = catalogueSize;
        u32 userValue = kUntouched;
        void* out = m_guard.DecodeItem(item.empty() ? nullptr : item.data(), size, &userValue);
        EXPECT_EQ(nullptr, out) << name;
        free(out);
        EXPECT_EQ(catalogueSize, size) << name;
        EXPECT_EQ(kUntouched, userValue) << name;
    }

    CGuard m_guard;
    std::vector<u8> m_data;
    std::vector<u8> m_item;
};

TEST_F(DecodeItemTest, DecodeItem_GivesTheExactBytesTwiceIntoTwoBuffers)
{
    u32 size1 = (u32)m_item.size();
    u32 size2 = (u32)m_item.size();
    u32 user1 = 0;
    u32 user2 = 0;
    u8* first = (u8*)m_guard.DecodeItem(m_item.data(), size1, &user1);
    u8* second = (u8*)m_guard.DecodeItem(m_item.data(), size2, &user2);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ(m_data.size(), size1);
    EXPECT_EQ(m_data.size(), size2);
    EXPECT_EQ(kUserValue, user1);
    EXPECT_EQ(kUserValue, user2);
    EXPECT_EQ(0, memcmp(m_data.data(), first, m_data.size()));
    EXPECT_EQ(0, memcmp(m_data.data(), second, m_data.size()));
    free(first);
    free(second);
}

TEST_F(DecodeItemTest, DecodeItem_AcceptsPaddedEmptyAndOddSizedPayloads)
{
    struct Case
    {
        const char* name;
        size_t dataSize;
        u32 storedSize;
    };
    const Case cases[] = {
        {"padded to an install size", 600, 3128},
        {"empty payload", 0, 0},
        {"odd inflated size", 1, 0},
        {"larger payload", 200000, 0},
    };
    for (const Case& c : cases)
    {
        std::vector<u8> data = SampleData(c.dataSize);
        std::vector<u8> item = Pack(m_guard, data, 7, c.storedSize);
        ASSERT_FALSE(item.empty()) << c.name;
        if (c.storedSize)
        {
            EXPECT_EQ(c.storedSize, item.size()) << c.name;
        }
        u32 size = (u32)item.size();
        u8* out = (u8*)m_guard.DecodeItem(item.data(), size, nullptr);
        ASSERT_NE(nullptr, out) << c.name;
        EXPECT_EQ(data.size(), size) << c.name;
        EXPECT_TRUE(data.empty() || memcmp(data.data(), out, data.size()) == 0) << c.name;
        free(out);
    }
}

TEST_F(DecodeItemTest, DecodeItem_RefusesDamagedItems)
{
    struct Case
    {
        const char* name;
        std::function<void(std::vector<u8>&)> change;  // on the plaintext
    };
    const u32 streamLength = [this] {
        std::vector<u8> plain = m_item;
        DecryptItem(m_guard, plain);
        return Word(plain, kDeflateLengthAt);
    }();
    const u32 stored = (u32)m_item.size();
    const Case cases[] = {
        {"one deflate byte changed", [](std::vector<u8>& p) { p[24 + 40] ^= 0x01; }},
        {"last deflate byte changed", [streamLength](std::vector<u8>& p) { p[24 + streamLength - 1] ^= 0x80; }},
        {"inflated size one less", [](std::vector<u8>& p) { PutWord(p, kInflatedSizeAt, Word(p, kInflatedSizeAt) - 1); }},
        {"inflated size one more", [](std::vector<u8>& p) { PutWord(p, kInflatedSizeAt, Word(p, kInflatedSizeAt) + 1); }},
        {"header stored size 8 more", [](std::vector<u8>& p) { PutWord(p, kStoredSizeAt, Word(p, kStoredSizeAt) + 8); }},
        {"header stored size 8 less", [](std::vector<u8>& p) { PutWord(p, kStoredSizeAt, Word(p, kStoredSizeAt) - 8); }},
        {"stream runs past the item", [stored](std::vector<u8>& p) { PutWord(p, kDeflateLengthAt, stored - 24 + 1); }},
        {"stream length wraps", [](std::vector<u8>& p) { PutWord(p, kDeflateLengthAt, 0xFFFFFFF0u); }},
        {"stream one byte short, CRC matching",
            [](std::vector<u8>& p) {
                u32 length = Word(p, kDeflateLengthAt) - 1;
                PutWord(p, kDeflateLengthAt, length);
                PutWord(p, kDeflateCrcAt, ItemCrc(p.data() + 24, length));
            }},
        {"inflated CRC wrong", [](std::vector<u8>& p) { PutWord(p, kInflatedCrcAt, Word(p, kInflatedCrcAt) ^ 1); }},
        {"deflate CRC wrong", [](std::vector<u8>& p) { PutWord(p, kDeflateCrcAt, Word(p, kDeflateCrcAt) ^ 0x80000000u); }},
        {"stream replaced by garbage, CRC matching",
            [](std::vector<u8>& p) {
                u32 length = Word(p, kDeflateLengthAt);
                for (u32 i = 0; i < length; ++i)
                    p[24 + i] = (u8)(0xFF - i);
                PutWord(p, kDeflateCrcAt, ItemCrc(p.data() + 24, length));
            }},
    };
    for (const Case& c : cases)
        ExpectRefused(Rewrite(m_guard, m_item, c.change), stored, c.name);
}

TEST_F(DecodeItemTest, DecodeItem_RefusesACatalogueSizeThatDiffersFromTheHeader)
{
    const u32 stored = (u32)m_item.size();
    std::vector<u8> longer = m_item;
    longer.resize(m_item.size() + 16, 0);
    struct Case
    {
        const char* name;
        u32 size;
    };
    const Case cases[] = {
        {"8 less", stored - 8},
        {"8 more", stored + 8},
        {"one less", stored - 1},
        {"one more", stored + 1},
        {"stored size 0", 0},
        {"smaller than a header", 16},
        {"one block", 8},
    };
    for (const Case& c : cases)
        ExpectRefused(longer, c.size, c.name);
}

TEST_F(DecodeItemTest, DecodeItem_RefusesWithoutKeyOrItem)
{
    const u32 stored = (u32)m_item.size();
    ExpectRefused(std::vector<u8>(), stored, "null item");

    CGuard empty;
    u32 size = stored;
    u32 userValue = kUntouched;
    EXPECT_EQ(nullptr, empty.DecodeItem(m_item.data(), size, &userValue));
    EXPECT_EQ(stored, size);

    CGuard other;
    std::vector<u8> otherBlock = TestKeyBlock(99);
    ASSERT_TRUE(other.Load(otherBlock.data(), 968));
    EXPECT_EQ(nullptr, other.DecodeItem(m_item.data(), size, &userValue));
    EXPECT_EQ(stored, size);
    EXPECT_EQ(kUntouched, userValue);
}

TEST_F(DecodeItemTest, DecodeItem_KeepsTheUnusedPaddingOutOfTheChecks)
{
    std::vector<u8> item = Pack(m_guard, m_data, kUserValue, (u32)m_item.size() + 64);
    ASSERT_FALSE(item.empty());
    item = Rewrite(m_guard, item, [](std::vector<u8>& p) { p[p.size() - 3] ^= 0x55; });
    u32 size = (u32)item.size();
    u8* out = (u8*)m_guard.DecodeItem(item.data(), size, nullptr);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(m_data.size(), size);
    free(out);
}
}
