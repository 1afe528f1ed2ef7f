// The command-line tool's further digests (file_digests.h): published vectors, and every length
// from 0 to 1100 fed whole, a byte at a time and in random pieces against an independent
// reference, on every form this processor can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "digest_test_support.h"
#include "file_digests.h"
#include "processor.h"
#include "reference_digests.h"

#ifdef HASHCALC_HAVE_CRYPTOPP
#include <cryptopp/sha.h>
#endif

namespace {

using digest_test::PatternMessage;

constexpr std::size_t kLongestSweep = 1100;

struct FileDigest {
    const char* name;
    const StreamForm* forms;
    std::size_t textLength;
};

// Failures name the digest instead of dumping the record's bytes.
void PrintTo(const FileDigest& digest, std::ostream* out) {
    *out << digest.name;
}

const FileDigest kFileDigests[] = {
    {"SHA224", kSHA224Forms, 56},     {"SHA384", kSHA384Forms, 96},
    {"SHA512", kSHA512Forms, 128},    {"SHA512_256", kSHA512_256Forms, 64},
    {"SHA3_224", kSHA3_224Forms, 56}, {"SHA3_256", kSHA3_256Forms, 64},
    {"SHA3_384", kSHA3_384Forms, 96}, {"SHA3_512", kSHA3_512Forms, 128},
    {"CRC32C", kCRC32CForms, 8},      {"Cksum", kCksumForms, 0},  // decimal: 1 to 10 digits
};

// A state as the callers keep it.
struct alignas(kStreamStateAlignment) StreamState {
    unsigned char bytes[kStreamStateBytes];
};

std::string Finish(const StreamForm& form, StreamState& state) {
    char text[160];
    form.finish(&state, text);
    return text;
}

const unsigned char* Bytes(const std::string& message) {
    return reinterpret_cast<const unsigned char*>(message.data());
}

std::string StreamWhole(const StreamForm& form, const std::string& message) {
    StreamState state;
    form.start(&state);
    form.feed(&state, Bytes(message), message.size());
    return Finish(form, state);
}

std::string StreamByteByByte(const StreamForm& form, const std::string& message) {
    StreamState state;
    form.start(&state);
    for (std::size_t i = 0; i < message.size(); ++i) form.feed(&state, Bytes(message) + i, 1);
    return Finish(form, state);
}

// Pieces of random sizes, empty ones with a null pointer included, up to a little over two of
// the largest blocks.
std::string StreamInRandomPieces(const StreamForm& form, const std::string& message,
                                 std::mt19937& random) {
    StreamState state;
    form.start(&state);
    std::uniform_int_distribution<std::size_t> pieceSize(0, 300);
    for (std::size_t at = 0; at < message.size();) {
        const std::size_t count = std::min(pieceSize(random), message.size() - at);
        form.feed(&state, count == 0 ? nullptr : Bytes(message) + at, count);
        at += count;
    }
    return Finish(form, state);
}

// The forms of a list up to and including its portable one.
std::vector<const StreamForm*> FormsOf(const FileDigest& digest) {
    std::vector<const StreamForm*> forms;
    for (const StreamForm* form = digest.forms;; ++form) {
        forms.push_back(form);
        if (form->features == 0 || forms.size() == 8) break;
    }
    return forms;
}

// Runs `check` on each form this processor has, with the processor features limited to what
// that form needs, as the tool's --no-hardware and the forms' own choice would run it. The
// limit is put back afterwards.
template <typename Check>
void OnEveryForm(const FileDigest& digest, Check check) {
    const unsigned usable = UsableProcessorFeatures();
    for (const StreamForm* form : FormsOf(digest)) {
        if ((usable & form->features) != form->features) continue;
        LimitProcessorFeatures(form->features);
        check(*form, "form needing features " + std::to_string(form->features));
    }
    LimitProcessorFeatures(usable);
}

const char* const kSHA512_256SweepPrefixes[] = {
#include "sha512_256_sweep.inc"
};
static_assert(std::size(kSHA512_256SweepPrefixes) == kLongestSweep + 1);

#ifdef HASHCALC_HAVE_CRYPTOPP
std::string Hex(const unsigned char* bytes, std::size_t count, const char* digits) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}
#endif

// The reference text (reference_digests.h), under the table's name for the digest; empty
// where the test has none (the cryptographic digests without Crypto++).
std::string Reference(const std::string& name, const std::string& message) {
    std::string tableName = name == "Cksum" ? "CKSUM" : name;
    std::replace(tableName.begin(), tableName.end(), '_', '-');
    return digest_test::ReferenceDigest(tableName, message);
}

// SHA-512/256 is held to Python's hashlib as well: its table holds the first 16 digits, which
// no wrong digest matches by chance, for builds without Crypto++.
bool MatchesReference(const std::string& name, const std::string& message,
                      const std::string& text) {
    if (name == "SHA512_256" &&
        (message.size() > kLongestSweep ||
         text.compare(0, 16, kSHA512_256SweepPrefixes[message.size()]) != 0)) {
        return false;
    }
    const std::string expected = Reference(name, message);
    return expected.empty() || text == expected;
}

class FileDigestSweep : public ::testing::TestWithParam<FileDigest> {};

TEST_P(FileDigestSweep, EveryLengthAndSplitMatchesTheReferenceOnEveryForm) {
    const FileDigest& digest = GetParam();
    const std::string all = PatternMessage(kLongestSweep);
    OnEveryForm(digest, [&](const StreamForm& form, const std::string& label) {
        std::mt19937 random(1234);
        for (std::size_t length = 0; length <= kLongestSweep; ++length) {
            const std::string message = all.substr(0, length);
            const std::string whole = StreamWhole(form, message);
            ASSERT_TRUE(MatchesReference(digest.name, message, whole))
                << digest.name << " " << label << ", " << length << " bytes: " << whole;
            if (digest.textLength != 0) {
                ASSERT_EQ(whole.size(), digest.textLength) << digest.name;
            }
            ASSERT_EQ(StreamByteByByte(form, message), whole)
                << digest.name << " " << label << ", " << length << " bytes one at a time";
            ASSERT_EQ(StreamInRandomPieces(form, message, random), whole)
                << digest.name << " " << label << ", " << length << " bytes in random pieces";
        }
    });
}

// Long runs, where the wide loops of the processor-specific forms do most of the work, at
// lengths around their strides, against the portable form.
TEST_P(FileDigestSweep, LongMessagesAgreeAcrossForms) {
    const FileDigest& digest = GetParam();
    const std::vector<const StreamForm*> forms = FormsOf(digest);
    const StreamForm& portable = *forms.back();
    for (std::size_t length : {std::size_t{12287}, std::size_t{12288}, std::size_t{12289},
                               std::size_t{3 * 4096 + 3 * 256 + 7}, (std::size_t{1} << 20) + 77}) {
        const std::string message = PatternMessage(length);
        const std::string expected = StreamWhole(portable, message);
        if (digest.name != std::string("SHA512_256")) {
            EXPECT_TRUE(MatchesReference(digest.name, message, expected))
                << digest.name << ", " << length << " bytes";
        }
        OnEveryForm(digest, [&](const StreamForm& form, const std::string& label) {
            EXPECT_EQ(StreamWhole(form, message), expected)
                << digest.name << " " << label << ", " << length << " bytes";
        });
    }
}

// Runs of one to thirteen 128-byte blocks in a single feed, after a few pending bytes or none,
// from an odd address, against the portable form: SHA-512's vector form takes the blocks two at
// a time and a last odd one on its own, and after pending bytes from a chain of their own.
TEST_P(FileDigestSweep, RunsOfWholeBlocksInOneFeedAgreeAcrossForms) {
    const FileDigest& digest = GetParam();
    const StreamForm& portable = *FormsOf(digest).back();
    const std::string all = PatternMessage(5 + 13 * 128 + 3);
    for (std::size_t pending : {std::size_t{0}, std::size_t{5}}) {
        for (std::size_t blocks = 1; blocks <= 13; ++blocks) {
            const std::size_t run = 128 * blocks;
            const std::string message = all.substr(0, pending + run + 3);
            const std::string expected = StreamWhole(portable, message);
            const std::string shifted = "." + message;
            const unsigned char* bytes = Bytes(shifted) + 1;
            OnEveryForm(digest, [&](const StreamForm& form, const std::string& label) {
                StreamState state;
                form.start(&state);
                form.feed(&state, bytes, pending);
                form.feed(&state, bytes + pending, run);
                form.feed(&state, bytes + pending + run, 3);
                EXPECT_EQ(Finish(form, state), expected)
                    << digest.name << " " << label << ", " << blocks << " blocks after " << pending
                    << " bytes";
            });
        }
    }
}

// A state started again after its finish starts from scratch; two states fed in turn do not
// disturb each other.
TEST_P(FileDigestSweep, StatesAreIndependentAndRestartable) {
    const FileDigest& digest = GetParam();
    const std::string first = PatternMessage(700);
    const std::string second = "a different message, fed in between";
    OnEveryForm(digest, [&](const StreamForm& form, const std::string& label) {
        StreamState one;
        StreamState other;
        form.start(&one);
        form.start(&other);
        form.feed(&one, Bytes(first), 300);
        form.feed(&other, Bytes(second), second.size());
        form.feed(&one, Bytes(first) + 300, first.size() - 300);
        EXPECT_EQ(Finish(form, one), StreamWhole(form, first)) << digest.name << " " << label;
        EXPECT_EQ(Finish(form, other), StreamWhole(form, second)) << digest.name << " " << label;
        form.start(&one);
        EXPECT_EQ(Finish(form, one), StreamWhole(form, "")) << digest.name << " " << label;
    });
}

INSTANTIATE_TEST_SUITE_P(All, FileDigestSweep, ::testing::ValuesIn(kFileDigests),
                         [](const ::testing::TestParamInfo<FileDigest>& param) {
                             return std::string(param.param.name);
                         });

const FileDigest& Named(const std::string& name) {
    for (const FileDigest& digest : kFileDigests) {
        if (name == digest.name) return digest;
    }
    ADD_FAILURE() << "no digest named " << name;
    return kFileDigests[0];
}

struct Vector {
    const char* name;
    std::string message;
    const char* text;
};

// FIPS 180-4 and FIPS 202 example messages (NIST's published examples), the CRC-32C check
// value of the CRC catalogue, and what the cksum program prints.
TEST(FileDigestVectors, EveryPublishedVectorMatchesOnEveryForm) {
    const std::string bits448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string bits896 =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
        "lmnopqrsmnopqrstnopqrstu";
    const std::string millionA(1000000, 'a');
    const Vector vectors[] = {
        {"SHA224", "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {"SHA224", "", "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f"},
        {"SHA224", bits448, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
        {"SHA224", millionA, "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"},
        {"SHA384", "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baec"
         "a134c825a7"},
        {"SHA384", "",
         "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2"
         "f14898b95b"},
        {"SHA384", bits896,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9"
         "fa91746039"},
        {"SHA384", millionA,
         "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97dd"
         "d87f3d8985"},
        {"SHA512", "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c"
         "23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"SHA512", "",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318"
         "d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"SHA512", bits896,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99"
         "dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {"SHA512", millionA,
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb043"
         "2ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
        {"SHA512_256", "abc", "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23"},
        {"SHA512_256", "", "c672b8d1ef56ed28ab87c3622c5114069bdd3ad7b8f9737498d0c01ecef0967a"},
        {"SHA512_256", bits896, "3928e184fb8690f840da3988121d31be65cb9d3ef83ee6146feac861e19b563a"},
        {"SHA512_256", millionA,
         "9a59a052930187a97038cae692f30708aa6491923ef5194394dc68d56c74fb21"},
        {"SHA3_224", "abc", "e642824c3f8cf24ad09234ee7d3c766fc9a3a5168d0c94ad73b46fdf"},
        {"SHA3_224", "", "6b4e03423667dbb73b6e15454f0eb1abd4597f9a1b078e3f5b5a6bc7"},
        {"SHA3_256", "abc", "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532"},
        {"SHA3_256", "", "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a"},
        {"SHA3_256", bits448, "41c0dba2a9d6240849100376a8235e2c82e1b9998a999e21db32dd97496d3376"},
        {"SHA3_256", bits896, "916f6061fe879741ca6469b43971dfdb28b1a32dc36cb3254e812be27aad1d18"},
        {"SHA3_256", millionA, "5c8875ae474a3634ba4fd55ec85bffd661f32aca75c6d699d0cdcb6c115891c1"},
        {"SHA3_384", "abc",
         "ec01498288516fc926459f58e2c6ad8df9b473cb0fc08c2596da7cf0e49be4b298d88cea927ac7f539f1ed"
         "f228376d25"},
        {"SHA3_384", "",
         "0c63a75b845e4f7d01107d852e4c2485c51a50aaaa94fc61995e71bbee983a2ac3713831264adb47fb6bd1"
         "e058d5f004"},
        {"SHA3_512", "abc",
         "b751850b1a57168a5693cd924b6b096e08f621827444f70d884f5d0240d2712e10e116e9192af3c91a7ec5"
         "7647e3934057340b4cf408d5a56592f8274eec53f0"},
        {"SHA3_512", "",
         "a69f73cca23a9ac5c8b567dc185a756e97c982164fe25859e0d1dcc1475c80a615b2123af1f5f94c11e3e9"
         "402c3ac558f500199d95b6d3e301758586281dcd26"},
        {"CRC32C", "123456789", "E3069283"},
        {"CRC32C", "", "00000000"},
        {"CRC32C", millionA, "436FE240"},  // Python's crcmod
        // The cksum program's output: lengths of none, one, two and three bytes follow them.
        {"Cksum", "123456789", "930766865"},
        {"Cksum", "", "4294967295"},
        {"Cksum", "a", "1220704766"},
        {"Cksum", std::string(1000, 'a'), "145108180"},
        {"Cksum", std::string(65536, 'a'), "107332168"},
        {"Cksum", millionA, "3401932319"},
    };
    for (const Vector& vector : vectors) {
        OnEveryForm(Named(vector.name), [&](const StreamForm& form, const std::string& label) {
            EXPECT_EQ(StreamWhole(form, vector.message), vector.text)
                << vector.name << " " << label << ", " << vector.message.size() << " bytes";
        });
    }
}

// The list's first form is the one a caller takes when nothing is limited: on this processor,
// the best one it has.
TEST(FileDigestForms, EveryListEndsInAPortableFormAndTheBestFormComesFirst) {
    for (const FileDigest& digest : kFileDigests) {
        const std::vector<const StreamForm*> forms = FormsOf(digest);
        EXPECT_EQ(forms.back()->features, 0u) << digest.name << ": no portable form at the end";
        for (std::size_t i = 0; i + 1 < forms.size(); ++i) {
            EXPECT_NE(forms[i]->features, 0u) << digest.name << ": a portable form before the end";
        }
    }
}

#ifdef HASHCALC_HAVE_CRYPTOPP
// The form a caller takes now: the first whose features may be used.
const StreamForm& ChosenForm(const StreamForm* forms) {
    while (!ProcessorFeaturesUsable(forms->features)) ++forms;
    return *forms;
}

// Bytes of a message too large to hold: a pattern of the offset, so that a block fed twice or
// skipped changes the digest.
void FillLarge(unsigned char* bytes, std::size_t count, std::uint64_t offset) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + i;
        bytes[i] = static_cast<unsigned char>((at * 2654435761u) >> 13 ^ (at >> 32));
    }
}

// 4 GiB and a few bytes, past every 32-bit count, for the digests whose padding holds the
// length: SHA-224 and SHA-512 against Crypto++, cksum against a table of its one-bit steps.
// About 40 seconds of processor time. Run with:
//   digest_tests --gtest_also_run_disabled_tests --gtest_filter='*Above4GiB*'
TEST(FileDigestStream, DISABLED_LengthsAbove4GiBMatchTheReferences) {
    constexpr std::uint64_t kLength = (std::uint64_t{1} << 32) + 1000003;
    std::uint32_t cksumTable[256];
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc << 1) ^ ((crc >> 31) != 0 ? 0x04C11DB7 : 0);
        cksumTable[byte] = crc;
    }
    CryptoPP::SHA224 sha224;
    CryptoPP::SHA512 sha512;
    std::uint32_t cksum = 0;
    const StreamForm* forms[] = {&ChosenForm(kSHA224Forms), &ChosenForm(kSHA512Forms),
                                 &ChosenForm(kCksumForms)};
    StreamState states[3];
    for (int i = 0; i < 3; ++i) forms[i]->start(&states[i]);
    std::vector<unsigned char> piece((std::size_t{1} << 20) + 13);  // not a multiple of a block
    for (std::uint64_t offset = 0; offset < kLength; offset += piece.size()) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), kLength - offset));
        FillLarge(piece.data(), count, offset);
        sha224.Update(piece.data(), count);
        sha512.Update(piece.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            cksum = (cksum << 8) ^ cksumTable[(cksum >> 24) ^ piece[i]];
        }
        for (int i = 0; i < 3; ++i) forms[i]->feed(&states[i], piece.data(), count);
    }
    for (std::uint64_t rest = kLength; rest != 0; rest >>= 8) {
        cksum = (cksum << 8) ^ cksumTable[(cksum >> 24) ^ (rest & 0xFF)];
    }
    unsigned char digest[64];
    sha224.Final(digest);
    EXPECT_EQ(Finish(*forms[0], states[0]), Hex(digest, 28, "0123456789abcdef"));
    sha512.Final(digest);
    EXPECT_EQ(Finish(*forms[1], states[1]), Hex(digest, 64, "0123456789abcdef"));
    EXPECT_EQ(Finish(*forms[2], states[2]), std::to_string(~cksum));
}
#endif

}  // namespace
