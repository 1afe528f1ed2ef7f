// Digests the command-line tool offers beside the window's twelve, each as its list of stream
// forms (stream_forms.h): best first, ending with the portable form, whose `features` is 0 and
// which every processor runs. A caller takes the first form whose features
// ProcessorFeaturesUsable() grants, starts a state of kStreamStateBytes aligned to
// kStreamStateAlignment with it, feeds it and finishes it into the text and its NUL. Lengths
// are counted in 64 bits.
#pragma once

#include <cstddef>

#include "stream_forms.h"

// How many forms each list holds: the portable one everywhere, the x86 ones only where they are
// built. The lists are declared with these bounds, so the compiler holds each definition to its
// count and the digest table reads the count from here.
#if defined(__i386__) || defined(__x86_64__)
inline constexpr std::size_t kX86Forms = 1;
#else
inline constexpr std::size_t kX86Forms = 0;
#endif
// The forms on 32- and 64-byte vectors, SHA-512's AVX2 one and BLAKE3's AVX2 and AVX-512 ones,
// are left out of Windows builds: mingw-w64's GCC cannot align the stack for the vectors they
// keep there.
#if (defined(__i386__) || defined(__x86_64__)) && !defined(_WIN32)
inline constexpr std::size_t kWideSHA512Forms = 1;
inline constexpr std::size_t kWideBLAKE3Forms = 2;
#else
inline constexpr std::size_t kWideSHA512Forms = 0;
inline constexpr std::size_t kWideBLAKE3Forms = 0;
#endif

// ---- SHA-2 with 64-bit words, SHA-224, SHA-3, CRC-32C and the POSIX cksum CRC ----
//
// Texts of SHA-2 and SHA-3: the digest bytes in the standard's order as lowercase hex.
//   SHA-224 (FIPS 180-4)      56 digits   SHA-instruction form, portable
//   SHA-384 (FIPS 180-4)      96 digits   AVX2 schedule, BMI2 rorx forms, portable
//   SHA-512 (FIPS 180-4)     128 digits   AVX2 schedule, BMI2 rorx forms, portable
//   SHA-512/256 (FIPS 180-4)  64 digits   AVX2 schedule, BMI2 rorx forms, portable
//   SHA3-224 (FIPS 202)       56 digits   BMI1 and-not form, portable
//   SHA3-256 (FIPS 202)       64 digits   BMI1 and-not form, portable
//   SHA3-384 (FIPS 202)       96 digits   BMI1 and-not form, portable
//   SHA3-512 (FIPS 202)      128 digits   BMI1 and-not form, portable
extern const StreamForm kSHA224Forms[1 + kX86Forms];
extern const StreamForm kSHA384Forms[1 + kX86Forms + kWideSHA512Forms];
extern const StreamForm kSHA512Forms[1 + kX86Forms + kWideSHA512Forms];
extern const StreamForm kSHA512_256Forms[1 + kX86Forms + kWideSHA512Forms];
extern const StreamForm kSHA3_224Forms[1 + kX86Forms];
extern const StreamForm kSHA3_256Forms[1 + kX86Forms];
extern const StreamForm kSHA3_384Forms[1 + kX86Forms];
extern const StreamForm kSHA3_512Forms[1 + kX86Forms];

// CRC-32C, the Castagnoli CRC of iSCSI, SCTP and ext4 (CRC-32/ISCSI): polynomial 0x1EDC6F41,
// reflected, register starting at and finished with XOR 0xFFFFFFFF; "123456789" gives
// E3069283. Text: 8 uppercase hex digits, like CRC32. Forms: SSE4.2 crc32 instruction on three
// interleaved streams joined by carry-less multiplication, the crc32 instruction alone,
// portable.
extern const StreamForm kCRC32CForms[1 + 2 * kX86Forms];

// The CRC of POSIX cksum (CRC-32/CKSUM): CRC32b's polynomial 0x04C11DB7, not reflected, but
// the register starts at 0 and the message is followed by its length in bytes, least
// significant byte first, in as few bytes as hold it (none for an empty message), before the
// final XOR 0xFFFFFFFF. Text: the value in decimal, as cksum prints it first ("123456789" gives
// 930766865). Forms: carry-less folding, portable (both CRC32b's register updates).
extern const StreamForm kCksumForms[1 + kX86Forms];

// ---- end of SHA-2, SHA-3, CRC-32C and cksum ----

// --- BLAKE2 and BLAKE3 ---------------------------------------------------------------------
// Unkeyed, as lowercase hexadecimal: BLAKE2b-512 in 128 digits and BLAKE2s-256 in 64 (as
// b2sum prints them), BLAKE3 with its default 256-bit output in 64 digits (as b3sum prints).
inline constexpr int kBLAKE2bTextLength = 128;
inline constexpr int kBLAKE2sTextLength = 64;
inline constexpr int kBLAKE3TextLength = 64;

inline constexpr std::size_t kBLAKE2bStreamFormCount = 1;
inline constexpr std::size_t kBLAKE2sStreamFormCount = 1;
inline constexpr std::size_t kBLAKE3StreamFormCount = 1 + kX86Forms + kWideBLAKE3Forms;
extern const StreamForm kBLAKE2bStreamForms[kBLAKE2bStreamFormCount];
extern const StreamForm kBLAKE2sStreamForms[kBLAKE2sStreamFormCount];
extern const StreamForm kBLAKE3StreamForms[kBLAKE3StreamFormCount];

// BLAKE3 of a range in memory, its tree split in two parts hashed on two threads with the form
// a stream would choose; the same text as the stream. Short ranges stay on the calling thread.
// Writes kBLAKE3TextLength digits and a NUL.
void HashBLAKE3OnTwoThreads(const unsigned char* bytes, std::size_t count, char* text);
// Feeds a BLAKE3 stream of `form` (one of kBLAKE3StreamForms, started) as form.feed does, the
// whole chunks of a long range split between the calling thread and a second one; short
// ranges, and every range when no second thread starts, on the calling thread alone.
void FeedBLAKE3OnTwoThreads(const StreamForm& form, void* state, const unsigned char* bytes,
                            std::size_t count);
// --- end of BLAKE2 and BLAKE3 --------------------------------------------------------------
