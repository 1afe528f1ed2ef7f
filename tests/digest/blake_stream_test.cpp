// BLAKE2b-512, BLAKE2s-256 and BLAKE3 as streams, on every form this processor can run: the
// published vectors, every length from 0 to 1100 fed whole, a byte at a time and in random
// pieces against Crypto++ (BLAKE2) or BLAKE3's portable form fed whole, BLAKE3 at lengths
// across many tree levels against b3sum's texts, and BLAKE3 on two threads against the stream.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#endif

#include <random>
#include <string>
#include <vector>

#include "blake3_vectors.h"
#include "file_digests.h"
#include "processor.h"

#ifdef HASHCALC_HAVE_CRYPTOPP
#include <cryptopp/blake2.h>
#endif

namespace {

struct FormList {
    const char* name;
    const StreamForm* forms;
    std::size_t count;
};

const FormList kBLAKE2b = {"BLAKE2b", kBLAKE2bStreamForms, kBLAKE2bStreamFormCount};
const FormList kBLAKE2s = {"BLAKE2s", kBLAKE2sStreamForms, kBLAKE2sStreamFormCount};
const FormList kBLAKE3 = {"BLAKE3", kBLAKE3StreamForms, kBLAKE3StreamFormCount};

// The form a stream started now would take: the first whose features may be used.
const StreamForm& ChosenForm(const FormList& list) {
    for (std::size_t i = 0; i + 1 < list.count; ++i) {
        if (ProcessorFeaturesUsable(list.forms[i].features)) return list.forms[i];
    }
    return list.forms[list.count - 1];
}

// Runs `check` with each form of `list` that this processor has, chosen the way a stream
// chooses it: with the usable features limited to what that form needs. Restores the limit.
template <typename Check>
void OnEveryForm(const FormList& list, Check check) {
    const unsigned saved = UsableProcessorFeatures();
    for (std::size_t i = 0; i < list.count; ++i) {
        LimitProcessorFeatures(list.forms[i].features);
        const StreamForm& form = ChosenForm(list);
        if (&form != &list.forms[i]) continue;  // this processor lacks the form's features
        check(form, "form " + std::to_string(i) + " of " + list.name);
    }
    LimitProcessorFeatures(saved);
}

struct alignas(kStreamStateAlignment) StreamState {
    unsigned char bytes[kStreamStateBytes];
};

std::string Finish(const StreamForm& form, StreamState& state) {
    char text[kBLAKE2bTextLength + 1];
    form.finish(state.bytes, text);
    return text;
}

std::string StreamWhole(const StreamForm& form, const std::string& message) {
    StreamState state;
    form.start(state.bytes);
    form.feed(state.bytes, reinterpret_cast<const unsigned char*>(message.data()), message.size());
    return Finish(form, state);
}

std::string StreamByteByByte(const StreamForm& form, const std::string& message) {
    StreamState state;
    form.start(state.bytes);
    for (char byte : message) form.feed(state.bytes, reinterpret_cast<unsigned char*>(&byte), 1);
    return Finish(form, state);
}

// Pieces of random sizes up to `largest`, empty ones included.
std::string StreamInRandomPieces(const StreamForm& form, const std::string& message,
                                 std::mt19937& random, std::size_t largest) {
    StreamState state;
    form.start(state.bytes);
    std::uniform_int_distribution<std::size_t> pieceSize(0, largest);
    std::size_t at = 0;
    while (at < message.size()) {
        const std::size_t count = std::min(pieceSize(random), message.size() - at);
        form.feed(state.bytes, reinterpret_cast<const unsigned char*>(message.data()) + at, count);
        at += count;
    }
    return Finish(form, state);
}

std::string Pattern251(std::size_t length) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>(i % 251);
    return message;
}

#ifdef HASHCALC_HAVE_CRYPTOPP
template <typename Hash>
std::string CryptoppText(const std::string& message) {
    Hash hash;
    std::vector<unsigned char> digest(hash.DigestSize());
    hash.CalculateDigest(digest.data(), reinterpret_cast<const unsigned char*>(message.data()),
                         message.size());
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}
#endif

TEST(BlakeStreams, FormsAreListedBestFirstWithThePortableFormLast) {
    for (const FormList* list : {&kBLAKE2b, &kBLAKE2s, &kBLAKE3}) {
        ASSERT_GE(list->count, 1u);
        EXPECT_EQ(list->forms[list->count - 1].features, 0u) << list->name;
        for (std::size_t i = 0; i + 1 < list->count; ++i) {
            EXPECT_NE(list->forms[i].features, 0u) << list->name << " form " << i;
        }
    }
    // With every feature turned off, each stream takes its portable form.
    const unsigned saved = UsableProcessorFeatures();
    LimitProcessorFeatures(0);
    for (const FormList* list : {&kBLAKE2b, &kBLAKE2s, &kBLAKE3}) {
        EXPECT_EQ(&ChosenForm(*list), &list->forms[list->count - 1]) << list->name;
    }
    LimitProcessorFeatures(saved);
}

// RFC 7693 appendices A and B give "abc"; the empty message is b2sum's.
TEST(BlakeStreams, Blake2PublishedVectors) {
    OnEveryForm(kBLAKE2b, [](const StreamForm& form, const std::string& where) {
        EXPECT_EQ(StreamWhole(form, "abc"),
                  "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d1"
                  "7d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925ab92386edd4009923")
            << where;
        EXPECT_EQ(StreamWhole(form, ""),
                  "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419"
                  "d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce")
            << where;
    });
    OnEveryForm(kBLAKE2s, [](const StreamForm& form, const std::string& where) {
        EXPECT_EQ(StreamWhole(form, "abc"),
                  "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982")
            << where;
    });
}

// b3sum's texts at chunk and tree boundaries, fed whole and in pieces that cut chunks and
// subtrees at odd places, among them the 64 KiB a file hasher reads at a time.
TEST(BlakeStreams, Blake3MatchesB3sumAcrossTreeLevels) {
    OnEveryForm(kBLAKE3, [](const StreamForm& form, const std::string& where) {
        std::mt19937 random(251);
        for (const Blake3Vector& vector : kBlake3Vectors) {
            const std::string message = Pattern251(vector.length);
            EXPECT_EQ(StreamWhole(form, message), vector.text) << where << ", " << vector.length;
            for (std::size_t largest : {std::size_t{3000}, std::size_t{65536}}) {
                EXPECT_EQ(StreamInRandomPieces(form, message, random, largest), vector.text)
                    << where << ", " << vector.length << " in pieces up to " << largest;
            }
        }
        // Fixed piece sizes: a chunk, a chunk and a byte, and 64 KiB.
        const Blake3Vector& longest = kBlake3Vectors[std::size(kBlake3Vectors) - 1];
        const std::string message = Pattern251(longest.length);
        for (std::size_t piece : {std::size_t{1024}, std::size_t{1025}, std::size_t{65536}}) {
            StreamState state;
            form.start(state.bytes);
            for (std::size_t at = 0; at < message.size(); at += piece) {
                form.feed(state.bytes, reinterpret_cast<const unsigned char*>(message.data()) + at,
                          std::min(piece, message.size() - at));
            }
            EXPECT_EQ(Finish(form, state), longest.text) << where << ", pieces of " << piece;
        }
    });
}

constexpr std::size_t kLongestSweep = 1100;

// Every length against a reference, fed whole, a byte at a time and in random pieces.
void Sweep(const FormList& list, std::string (*reference)(const std::string&)) {
    const std::string all = Pattern251(kLongestSweep);
    OnEveryForm(list, [&](const StreamForm& form, const std::string& where) {
        std::mt19937 random(1100);
        for (std::size_t length = 0; length <= kLongestSweep; ++length) {
            const std::string message = all.substr(0, length);
            const std::string expected = reference(message);
            ASSERT_EQ(StreamWhole(form, message), expected) << where << ", " << length;
            ASSERT_EQ(StreamByteByByte(form, message), expected)
                << where << ", " << length << " a byte at a time";
            ASSERT_EQ(StreamInRandomPieces(form, message, random, 300), expected)
                << where << ", " << length << " in random pieces";
        }
    });
}

#ifdef HASHCALC_HAVE_CRYPTOPP
TEST(BlakeStreams, Blake2bEveryLengthMatchesCryptopp) {
    Sweep(kBLAKE2b, CryptoppText<CryptoPP::BLAKE2b>);
}

TEST(BlakeStreams, Blake2sEveryLengthMatchesCryptopp) {
    Sweep(kBLAKE2s, CryptoppText<CryptoPP::BLAKE2s>);
}
#endif

TEST(BlakeStreams, Blake3EveryLengthMatchesThePortableFormFedWhole) {
    Sweep(kBLAKE3, [](const std::string& message) {
        return StreamWhole(kBLAKE3StreamForms[kBLAKE3StreamFormCount - 1], message);
    });
}

// A stream started again after its finish forgets everything before.
TEST(BlakeStreams, StartingAgainForgetsTheLastMessage) {
    for (const FormList* list : {&kBLAKE2b, &kBLAKE2s, &kBLAKE3}) {
        const StreamForm& form = ChosenForm(*list);
        const std::string message = Pattern251(5000);
        StreamState state;
        form.start(state.bytes);
        form.feed(state.bytes, reinterpret_cast<const unsigned char*>(message.data()), 3333);
        Finish(form, state);
        form.start(state.bytes);
        form.feed(state.bytes, reinterpret_cast<const unsigned char*>(message.data()),
                  message.size());
        EXPECT_EQ(Finish(form, state), StreamWhole(form, message)) << list->name;
    }
}

// The two-thread split must give the stream's text wherever the split falls: at exact powers
// of two of chunks, just past them (a one-chunk right part would be the naive split), at and
// past three halves of one, with the right part the larger, and with a last chunk cut short;
// on every form.
TEST(BlakeStreams, Blake3OnTwoThreadsMatchesTheStream) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::vector<std::size_t> lengths = {
        5000, kMiB, kMiB + 1, kMiB + 1024, 3 * kMiB / 2 - 1, 3 * kMiB / 2 + 1023, 2 * kMiB + 777};
    const std::string message = Pattern251(lengths.back());
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    std::vector<std::string> expected;
    expected.reserve(lengths.size());
    for (std::size_t length : lengths) {
        expected.push_back(StreamWhole(ChosenForm(kBLAKE3), message.substr(0, length)));
    }
    OnEveryForm(kBLAKE3, [&](const StreamForm&, const std::string& where) {
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            char text[kBLAKE3TextLength + 1];
            HashBLAKE3OnTwoThreads(bytes, lengths[i], text);
            EXPECT_EQ(text, expected[i]) << where << ", " << lengths[i];
        }
    });
}

// A stream fed long ranges on two threads, as the command-line tool feeds its 1 MiB blocks,
// in runs that start and end on and off chunk boundaries, gives the stream's text.
TEST(BlakeStreams, Blake3FedOnTwoThreadsMatchesTheStream) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::vector<std::vector<std::size_t>> pieceRuns = {
        {kMiB},
        {kMiB, kMiB, kMiB},
        {kMiB, kMiB, 5000},
        {3 * kMiB + 1},
        {100, kMiB, kMiB},
        {kMiB + 1024, kMiB - 1024, std::size_t{300} * 1024, 1023, kMiB / 2},
        {kMiB, 0, kMiB, 1},
    };
    const std::string message = Pattern251(4 * kMiB);
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    OnEveryForm(kBLAKE3, [&](const StreamForm& form, const std::string& where) {
        for (const std::vector<std::size_t>& pieces : pieceRuns) {
            alignas(kStreamStateAlignment) unsigned char split[kStreamStateBytes];
            alignas(kStreamStateAlignment) unsigned char plain[kStreamStateBytes];
            form.start(split);
            form.start(plain);
            std::size_t at = 0;
            for (const std::size_t piece : pieces) {
                FeedBLAKE3OnTwoThreads(form, split, bytes + at, piece);
                form.feed(plain, bytes + at, piece);
                at += piece;
            }
            char splitText[kBLAKE3TextLength + 1];
            char plainText[kBLAKE3TextLength + 1];
            form.finish(split, splitText);
            form.finish(plain, plainText);
            EXPECT_STREQ(splitText, plainText)
                << where << ", " << pieces.size() << " pieces, " << at << " bytes";
        }
    });
}

// When no second thread can start (here: no address space is left for its stack), the whole
// input is hashed on the calling thread, to the same text, instead of the process ending.
// AddressSanitizer needs address space of its own, so this runs in builds without it only.
#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
TEST(BlakeStreams, Blake3OnTwoThreadsFallsBackToOneWhenNoThreadStarts) {
    const std::string message = Pattern251((std::size_t{3} << 20) + 5);
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    const std::string expected = StreamWhole(ChosenForm(kBLAKE3), message);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        // Room for a few pages more than now, far less than a thread's stack.
        const rlim_t limit = static_cast<rlim_t>(pages + 64) * static_cast<rlim_t>(getpagesize());
        const rlimit tight{limit, limit};
        if (setrlimit(RLIMIT_AS, &tight) != 0) _exit(3);
        // Stacks the C library kept from finished threads need no new space: use them up
        // with threads that wait for the child's end.
        int never[2];
        if (pipe(never) != 0) _exit(4);
        const auto wait = [](void* end) -> void* {
            char byte;
            while (read(*static_cast<int*>(end), &byte, 1) < 0) {
            }
            return nullptr;
        };
        pthread_t holder;
        while (pthread_create(&holder, nullptr, wait, &never[0]) == 0) {
        }
        char text[kBLAKE3TextLength + 1];
        HashBLAKE3OnTwoThreads(bytes, message.size(), text);
        _exit(expected == text ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
