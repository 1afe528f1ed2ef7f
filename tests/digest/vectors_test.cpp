// Published test vectors for all twelve routines: the RFC suites for MD2, MD4 and MD5, the
// FIPS examples for SHA-0, SHA-1 and SHA-256, the RIPEMD authors' examples, the CRC catalogue's
// check values, and the texts the window shows for the empty input and for abc.
#include <gtest/gtest.h>

#include <string>

#include "digest_test_support.h"

namespace {

using digest_test::Digest;

struct Vector {
    const char* routine;
    std::string message;
    const char* text;
};

std::string A(std::size_t count) {
    return std::string(count, 'a');
}

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz";
const std::string kAlphanumeric = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kDigits80 =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string kFips448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

const Vector kVectors[] = {
    // What the window shows for the empty input and for abc.
    {"MD5", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"MD5", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"MD2", "", "8350e5a3e24c153df2275c9f80692773"},
    {"MD2", "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
    {"MD4", "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
    {"MD4", "abc", "a448017aaf21d8525fc10ae87aa6729d"},
    {"SHA0", "", "f96cea198ad1dd5617ac084a3d92c6107708c0ef"},
    {"SHA0", "abc", "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
    {"SHA1", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"SHA1", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"SHA256", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"SHA256", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"RIPEMD128", "", "cdf26213a150dc3ecb610f18f6b38b46"},
    {"RIPEMD128", "abc", "c14a12199c66e4ba84636b0f69144c77"},
    {"RIPEMD160", "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
    {"RIPEMD160", "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
    {"RIPEMD256", "", "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
    {"RIPEMD256", "abc", "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
    {"CRC16", "", "0000"},
    {"CRC16", "abc", "9738"},
    {"CRC32", "", "00000000"},
    {"CRC32", "abc", "352441C2"},
    {"CRC32b", "", "00000000"},
    {"CRC32b", "abc", "648CBB73"},

    // CRC catalogue check values and single characters.
    {"CRC16", "a", "E8C1"},
    {"CRC16", "123456789", "BB3D"},
    {"CRC32", "a", "E8B7BE43"},
    {"CRC32", "123456789", "CBF43926"},
    {"CRC32", "The quick brown fox jumps over the lazy dog", "414FA339"},
    {"CRC32b", "a", "19939B6B"},
    {"CRC32b", "123456789", "FC891918"},

    // RFC 1321 and RFC 1320 test suites.
    {"MD5", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"MD5", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"MD5", kAlphabet, "c3fcd3d76192e4007dfb496cca67e13b"},
    {"MD5", kAlphanumeric, "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"MD5", kDigits80, "57edf4a22be3c955ac49da2e2107b67a"},
    {"MD4", "a", "bde52cb31de33e46245e05fbdbd6fb24"},
    {"MD4", "message digest", "d9130a8164549fe818874806e1c7014b"},
    {"MD4", kAlphabet, "d79e1c308aa5bbcdeea8ed63df412da9"},
    {"MD4", kAlphanumeric, "043f8582f241db351ce627e153e7f0e4"},
    {"MD4", kDigits80, "e33b4ddc9c38f2199c3e7b164fcc0536"},

    // RFC 1319 test suite.
    {"MD2", "a", "32ec01ec4a6dac72c0ab96fb34c0b5d1"},
    {"MD2", "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
    {"MD2", kAlphabet, "4e8ddff3650292ab5a4108c3aa47940b"},
    {"MD2", kAlphanumeric, "da33def2a42df13975352846c30338cd"},
    {"MD2", kDigits80, "d5976f79d83d3a0dc9806c3c66f3efd8"},

    // Around the block boundary: the tail fills one or two last blocks.
    {"SHA0", A(55), "0ff59f7cb9afc10d7abcdc9ab8c00e0e7b02034f"},
    {"SHA0", A(56), "f826f1db56ddb270e25f21a7a40c4163b51c47ff"},
    {"SHA0", A(63), "61191abbfdb5d1c77bceae556de82b39bfbfcb9a"},
    {"SHA0", A(64), "6381391134b901db7a5a03699339bca31c409dde"},
    {"SHA0", kFips448, "d2516ee1acfa5baf33dfc1c471e438449ef134c8"},
    {"SHA1", A(55), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
    {"SHA1", A(56), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
    {"SHA1", A(63), "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
    {"SHA1", A(64), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
    {"SHA1", kFips448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {"SHA256", A(55), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {"SHA256", A(56), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {"SHA256", A(63), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
    {"SHA256", A(64), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    {"SHA256", kFips448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"RIPEMD128", A(55), "418486955c126b27903aa01fef5d5d15"},
    {"RIPEMD128", A(56), "6356ebd92cd62ee084789c6ec8eb3de3"},
    {"RIPEMD128", A(63), "f90233a12d38ee10c156db5554feefd2"},
    {"RIPEMD128", A(64), "680716ac638f0d601982c696d37e5e56"},
    {"RIPEMD128", "message digest", "9e327b3d6e523062afc1132d7df9d1b8"},
    {"RIPEMD128", kAlphabet, "fd2aa607f71dc8f510714922b371834e"},
    {"RIPEMD160", A(55), "0d8a8c9063a48576a7c97e9f95253a6e53ff6765"},
    {"RIPEMD160", A(56), "e72334b46c83cc70bef979e15453706c95b888be"},
    {"RIPEMD160", A(63), "e640041293fe663b9bf3f8c21ffecac03819e6b2"},
    {"RIPEMD160", A(64), "9dfb7d374ad924f3f88de96291c33e9abed53e32"},
    {"RIPEMD160", "message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
    {"RIPEMD160", kAlphabet, "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
    {"RIPEMD256", A(55), "7780dbe5f483206a1e397f7850f23ee6c595ff2d1a1846eb3ec6b0be03f1e161"},
    {"RIPEMD256", A(56), "d210e3e343f73334320d4b8f28fc8079ca06f30f0ba6f7baa8928a707ac45593"},
    {"RIPEMD256", A(63), "84744d0f20efc6bf2969e5655dd6e59262d762a4f2abe103918056652f8c3148"},
    {"RIPEMD256", A(64), "8147678472c129cabb59f57f637c622ccd5707af80a583303e6dde7d0800ced6"},
    {"RIPEMD256", "message digest",
     "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
    {"RIPEMD256", kAlphabet, "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},

    // One million times the letter a.
    {"MD2", A(1000000), "8c0a09ff1216ecaf95c8130953c62efd"},
    {"MD4", A(1000000), "bbce80cc6bb65e5c6745e30d4eeca9a4"},
    {"MD5", A(1000000), "7707d6ae4e027c70eea2a935c2296f21"},
    {"SHA0", A(1000000), "3232affa48628a26653b5aaa44541fd90d690603"},
    {"SHA1", A(1000000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {"SHA256", A(1000000), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"RIPEMD128", A(1000000), "4a7f5723f954eba1216c9d8f6320431f"},
    {"RIPEMD160", A(1000000), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    {"RIPEMD256", A(1000000), "ac953744e10e31514c150d4d8d7b677342e33399788296e43ae4850ce4f97978"},
};

TEST(DigestVectors, EveryPublishedVectorMatches) {
    for (const Vector& vector : kVectors) {
        EXPECT_EQ(Digest(vector.routine, vector.message), vector.text)
            << vector.routine << " of a " << vector.message.size() << "-byte message \""
            << vector.message.substr(0, 40) << "\"";
    }
}

TEST(DigestVectors, ChecksumsKeepLeadingZeros) {
    // Short texts whose CRC-32 is below 0x10000000 must still print eight digits.
    bool sawLeadingZero = false;
    for (int value = 0; value < 4096 && !sawLeadingZero; ++value) {
        const std::string message = std::to_string(value);
        const std::string text = Digest("CRC32", message);
        ASSERT_EQ(text.size(), 8u);
        sawLeadingZero = text[0] == '0';
    }
    EXPECT_TRUE(sawLeadingZero);
}

}  // namespace
