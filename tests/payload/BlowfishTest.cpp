#include "payload/Blowfish.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace
{
std::vector<u8> Hex(const char* text)
{
    std::vector<u8> bytes;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        bytes.push_back((u8)std::stoul(std::string(text + i, 2), nullptr, 16));
    return bytes;
}

u32 BigEndian(const u8* p)
{
    return ((u32)p[0] << 24) | ((u32)p[1] << 16) | ((u32)p[2] << 8) | p[3];
}

// The cipher's published test vectors: key, plaintext, ciphertext, with the
// data blocks written as big-endian halves.
struct Vector
{
    const char* key;
    const char* plain;
    const char* cipher;
};

const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    // Variable key lengths: prefixes of F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677.
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

// The same block in this system's byte order: each half little-endian.
std::vector<u8> ToLittleHalves(const std::vector<u8>& bigEndianBlock)
{
    std::vector<u8> out(8);
    for (int half = 0; half < 2; ++half)
        for (int i = 0; i < 4; ++i)
            out[half * 4 + i] = bigEndianBlock[half * 4 + 3 - i];
    return out;
}

class BlowfishTest : public ::testing::Test
{
};

TEST_F(BlowfishTest, EncryptBlock_MatchesPublishedVectors)
{
    for (const Vector& v : kVectors)
    {
        std::vector<u8> key = Hex(v.key);
        std::vector<u8> plain = Hex(v.plain);
        std::vector<u8> cipher = Hex(v.cipher);
        CBlowfish bf;
        ASSERT_TRUE(bf.Init(key.data(), (int)key.size())) << v.key;
        u32 left = BigEndian(plain.data());
        u32 right = BigEndian(plain.data() + 4);
        bf.EncryptBlock(left, right);
        EXPECT_EQ(BigEndian(cipher.data()), left) << "key " << v.key;
        EXPECT_EQ(BigEndian(cipher.data() + 4), right) << "key " << v.key;
        bf.DecryptBlock(left, right);
        EXPECT_EQ(BigEndian(plain.data()), left) << "key " << v.key;
        EXPECT_EQ(BigEndian(plain.data() + 4), right) << "key " << v.key;
    }
}

TEST_F(BlowfishTest, Ecb_UsesLittleEndianHalvesOfTheVectors)
{
    for (const Vector& v : kVectors)
    {
        std::vector<u8> key = Hex(v.key);
        std::vector<u8> plain = ToLittleHalves(Hex(v.plain));
        std::vector<u8> cipher = ToLittleHalves(Hex(v.cipher));
        CBlowfish bf;
        ASSERT_TRUE(bf.Init(key.data(), (int)key.size())) << v.key;
        std::vector<u8> out(8);
        bf.DecryptEcb(cipher.data(), out.data(), 8);
        EXPECT_EQ(plain, out) << "key " << v.key;
        bf.EncryptEcb(plain.data(), out.data(), 8);
        EXPECT_EQ(cipher, out) << "key " << v.key;
    }
}

TEST_F(BlowfishTest, DecryptEcb_ReadsBlockBytesAsLittleEndianHalves)
{
    const u8 key[] = {1, 2, 3, 4, 5, 6, 7, 8};
    CBlowfish bf;
    ASSERT_TRUE(bf.Init(key, sizeof(key)));
    const u8 block[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    u32 left = 0x04030201;
    u32 right = 0x08070605;
    bf.DecryptBlock(left, right);
    u8 expected[8];
    for (int i = 0; i < 4; ++i)
    {
        expected[i] = (u8)(left >> (8 * i));
        expected[4 + i] = (u8)(right >> (8 * i));
    }
    u8 out[8];
    bf.DecryptEcb(block, out, 8);
    EXPECT_EQ(0, memcmp(expected, out, 8));
}

TEST_F(BlowfishTest, DecryptEcb_InPlaceEqualsCopyAndCoversPartialLastBlock)
{
    const u8 key[] = {0x5A, 0xA5, 0x3C};
    CBlowfish bf;
    ASSERT_TRUE(bf.Init(key, sizeof(key)));
    std::vector<u8> source(24);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = (u8)(i * 37 + 11);

    std::vector<u8> copied(24, 0xEE);
    bf.DecryptEcb(source.data(), copied.data(), 17);  // three blocks
    std::vector<u8> inPlace = source;
    bf.DecryptEcb(inPlace.data(), inPlace.data(), 24);
    EXPECT_EQ(inPlace, copied);

    std::vector<u8> untouched(8, 0xEE);
    bf.DecryptEcb(source.data(), untouched.data(), 0);
    EXPECT_EQ(std::vector<u8>(8, 0xEE), untouched);
}

TEST_F(BlowfishTest, Init_RefusesMissingKey)
{
    const u8 key[] = {1};
    CBlowfish bf;
    EXPECT_FALSE(bf.Init(nullptr, 8));
    EXPECT_FALSE(bf.Init(key, 0));
}

TEST_F(BlowfishTest, RoundUp8_RoundsToBlocksAndReportsOverflowAsZero)
{
    struct Case
    {
        u32 size;
        u32 rounded;
    };
    const Case cases[] = {
        {0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {3128, 3128}, {0xFFFFFFF8u, 0xFFFFFFF8u}, {0xFFFFFFF9u, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rounded, CBlowfish::RoundUp8(c.size)) << "size " << c.size;
}
}
