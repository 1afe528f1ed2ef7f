// The digest table: one row per algorithm, indexed by DigestKind, holding everything the rest
// of the program needs to know about it: the name the command-line tool prints and parses, the
// length of its text, the window's one-shot routine, and how its stream runs. The window's
// twelve come first, in the order of its result fields; rows after them serve the
// command-line tool only.
//
// Adding an algorithm takes its kind (below, before kCount) and its row (digest_table.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "digest.h"
#include "stream_forms.h"
#include "stream_records.h"

// Row order of the table; the compiler checks that row k describes kind k.
enum class DigestKind : int {
    kMD5,
    kMD2,
    kMD4,
    kSHA0,
    kSHA1,
    kSHA256,
    kRIPEMD128,
    kRIPEMD160,
    kRIPEMD256,
    kCRC16,
    kCRC32,
    kCRC32b,
    // The command-line tool's further rows.
    kSHA224,
    kSHA384,
    kSHA512,
    kSHA512_256,
    kSHA3_224,
    kSHA3_256,
    kSHA3_384,
    kSHA3_512,
    kBLAKE2b,
    kBLAKE2s,
    kBLAKE3,
    kCRC32C,
    kCksum,
    kCount  // not a kind: the number of rows
};

inline constexpr int kDigestCount = static_cast<int>(DigestKind::kCount);
// The window shows the first twelve rows, in this order.
inline constexpr int kWindowDigestCount = 12;

// Bytes of the longest text a stream writes, NUL included: 128 digits. The window's twelve
// stay within kLongestTextBytes.
inline constexpr int kLongestStreamTextBytes = 129;

// An algorithm with stream forms of its own (stream_forms.h): best first, portable last.
struct StreamFormList {
    const StreamForm* forms;
    int count;
};

// How a row's stream works, and which member of the row's union describes it.
enum class StreamShape : std::uint8_t {
    kBlocks64,  // `blocks`
    kCrc,       // `crc`
    kMD2,       // nothing more: MD2's 16-byte blocks and checksum are its own
    kForms,     // `forms`
};

// What a row's text is made of.
enum class TextForm : std::uint8_t {
    kHex,      // exactly textLength hexadecimal digits
    kDecimal,  // a number in 1 to textLength decimal digits, without leading zeros (cksum's CRC)
};

struct DigestAlgorithm {
    DigestKind kind;
    const char* name;  // as the tool prints it: "MD5", "SHA256", "CRC32b", ...
    int textLength;    // digits of the text (the most it may have), NUL not counted
    // The window's one-shot routine (digest.h), called with the window's scratch block; the
    // two-argument routines ignore it. Null for rows the window does not show.
    ScratchDigestRoutine* windowRoutine;
    // Whether windowRoutine pads inside the caller's buffer (which then needs
    // PaddedLength(length) bytes) and keeps its chaining words in the scratch.
    bool padsInPlace;
    StreamShape shape;
    union {
        BlockAlgorithm blocks;
        CrcAlgorithm crc;
        StreamFormList forms;
    };
    TextForm textForm = TextForm::kHex;
};

extern const DigestAlgorithm DigestTable[kDigestCount];

inline const DigestAlgorithm& DigestRow(DigestKind kind) {
    return DigestTable[static_cast<int>(kind)];
}
