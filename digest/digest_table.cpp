// The digest table's rows. Each algorithm is described here once; the one-shot routines, the
// streams, the command-line tool, the tests and the benchmarks all read it from here.
//
// A new algorithm with stream forms of its own (stream_forms.h) becomes a row of the
// command-line tool with its kind in digest_table.h and one line here, for example
//     FormsRow(DigestKind::kSHA512, "SHA512", 128, kSHA512Forms),
// where kSHA512Forms is declared with its bound (file_digests.h), which the compiler holds to
// the list's definition.
//
// The names are those the tools people compare with print: coreutils' tags (SHA512, BLAKE2b),
// SHA3-256 as cksum -a sha3 and rhash write it, and SHA512-256 as openssl names its option; a
// '/' would read as part of a path where names and file names meet.
#include "digest_table.h"

#include "block_functions.h"
#include "crc_functions.h"
#include "file_digests.h"

namespace {

using namespace digest_internal;

// The window's two-argument routines in the table's one calling form.
template <DigestRoutine* kRoutine>
void IgnoringScratch(char* buffer, std::uint32_t length, void* /*scratch*/) {
    kRoutine(buffer, length);
}

constexpr bool kLittleEndian = true;
constexpr bool kBigEndian = false;

constexpr DigestAlgorithm BlocksRow(DigestKind kind, const char* name, int textLength,
                                    ScratchDigestRoutine* windowRoutine, bool padsInPlace,
                                    BlockAlgorithm blocks) {
    DigestAlgorithm row{kind, name, textLength, windowRoutine, padsInPlace, StreamShape::kBlocks64,
                        {}};
    row.blocks = blocks;
    return row;
}

constexpr DigestAlgorithm CrcRow(DigestKind kind, const char* name, int textLength,
                                 ScratchDigestRoutine* windowRoutine, CrcAlgorithm crc) {
    DigestAlgorithm row{kind, name, textLength, windowRoutine, false, StreamShape::kCrc, {}};
    row.crc = crc;
    return row;
}

// The command-line tool's rows: no window routine; the stream runs the first of `forms` whose
// features may be used.
template <std::size_t kFormCount>
constexpr DigestAlgorithm FormsRow(DigestKind kind, const char* name, int textLength,
                                   const StreamForm (&forms)[kFormCount]) {
    DigestAlgorithm row{kind, name, textLength, nullptr, false, StreamShape::kForms, {}};
    row.forms = {forms, static_cast<int>(kFormCount)};
    return row;
}

// A row whose text is a decimal number of up to `textLength` digits.
template <std::size_t kFormCount>
constexpr DigestAlgorithm DecimalFormsRow(DigestKind kind, const char* name, int textLength,
                                          const StreamForm (&forms)[kFormCount]) {
    DigestAlgorithm row = FormsRow(kind, name, textLength, forms);
    row.textForm = TextForm::kDecimal;
    return row;
}

}  // namespace

constexpr DigestAlgorithm DigestTable[kDigestCount] = {
    BlocksRow(DigestKind::kMD5, "MD5", 32, HashMD5, true,
              {kMdInitialWords, 4, kLittleEndian, MD5Blocks, nullptr, 0}),
    {DigestKind::kMD2, "MD2", 32, IgnoringScratch<HashMD2>, false, StreamShape::kMD2, {}},
    BlocksRow(DigestKind::kMD4, "MD4", 32, HashMD4, true,
              {kMdInitialWords, 4, kLittleEndian, MD4Blocks, nullptr, 0}),
    BlocksRow(DigestKind::kSHA0, "SHA0", 40, IgnoringScratch<HashSHA0>, false,
              {kMdInitialWords, 5, kBigEndian, SHA0Blocks, nullptr, 0}),
    BlocksRow(DigestKind::kSHA1, "SHA1", 40, IgnoringScratch<HashSHA1>, false,
              {kMdInitialWords, 5, kBigEndian, SHA1Blocks, kSHA1OnShaInstructions,
               kShaInstructionFeatures}),
    BlocksRow(DigestKind::kSHA256, "SHA256", 64, IgnoringScratch<HashSHA256>, false,
              {kSHA256InitialWords, 8, kBigEndian, SHA256Blocks, kSHA256OnShaInstructions,
               kShaInstructionFeatures}),
    BlocksRow(DigestKind::kRIPEMD128, "RIPEMD128", 32, HashRIPEMD128, true,
              {kMdInitialWords, 4, kLittleEndian, RIPEMD128Blocks, nullptr, 0}),
    BlocksRow(DigestKind::kRIPEMD160, "RIPEMD160", 40, HashRIPEMD160, true,
              {kMdInitialWords, 5, kLittleEndian, RIPEMD160Blocks, nullptr, 0}),
    BlocksRow(DigestKind::kRIPEMD256, "RIPEMD256", 64, IgnoringScratch<HashRIPEMD256>, false,
              {kRIPEMD256InitialWords, 8, kLittleEndian, RIPEMD256Blocks, nullptr, 0}),
    CrcRow(DigestKind::kCRC16, "CRC16", 4, IgnoringScratch<HashCRC16>,
           {0, 0, "%.4X", UpdateCrc16Portable, kCrc16Folding, kCarrylessFeatures}),
    CrcRow(
        DigestKind::kCRC32, "CRC32", 8, IgnoringScratch<HashCRC32>,
        {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32Portable, kCrc32Folding, kCarrylessFeatures}),
    CrcRow(
        DigestKind::kCRC32b, "CRC32b", 8, IgnoringScratch<HashCRC32b>,
        {0xFFFFFFFF, 0xFFFFFFFF, "%.8X", UpdateCrc32bPortable, kCrc32bFolding, kCarrylessFeatures}),
    FormsRow(DigestKind::kSHA224, "SHA224", 56, kSHA224Forms),
    FormsRow(DigestKind::kSHA384, "SHA384", 96, kSHA384Forms),
    FormsRow(DigestKind::kSHA512, "SHA512", 128, kSHA512Forms),
    FormsRow(DigestKind::kSHA512_256, "SHA512-256", 64, kSHA512_256Forms),
    FormsRow(DigestKind::kSHA3_224, "SHA3-224", 56, kSHA3_224Forms),
    FormsRow(DigestKind::kSHA3_256, "SHA3-256", 64, kSHA3_256Forms),
    FormsRow(DigestKind::kSHA3_384, "SHA3-384", 96, kSHA3_384Forms),
    FormsRow(DigestKind::kSHA3_512, "SHA3-512", 128, kSHA3_512Forms),
    FormsRow(DigestKind::kBLAKE2b, "BLAKE2b", kBLAKE2bTextLength, kBLAKE2bStreamForms),
    FormsRow(DigestKind::kBLAKE2s, "BLAKE2s", kBLAKE2sTextLength, kBLAKE2sStreamForms),
    FormsRow(DigestKind::kBLAKE3, "BLAKE3", kBLAKE3TextLength, kBLAKE3StreamForms),
    FormsRow(DigestKind::kCRC32C, "CRC32C", 8, kCRC32CForms),
    // 2^32 - 1 has ten digits.
    DecimalFormsRow(DigestKind::kCksum, "CKSUM", 10, kCksumForms),
};

namespace {

// What the rest of the program takes for granted about every row, checked as it compiles.
// (Whether a function or an array is present is checked by the tests instead: sanitizer
// builds do not let the compiler take their addresses for non-null.)
constexpr bool RowIsSound(int index) {
    const DigestAlgorithm& row = DigestTable[index];
    if (row.kind != static_cast<DigestKind>(index) || row.textLength <= 0) return false;
    // Every text fits a stream's buffer, the window's twelve also the window's.
    if (row.textLength + 1 > kLongestStreamTextBytes) return false;
    if (index < kWindowDigestCount && row.textLength + 1 > kLongestTextBytes) return false;
    // The window shows hexadecimal texts only; decimal ones come from forms of their own.
    if (row.textForm == TextForm::kDecimal &&
        (index < kWindowDigestCount || row.shape != StreamShape::kForms)) {
        return false;
    }
    // The in-place routines write a little-endian bit count and keep their chaining words in
    // the window's scratch block.
    if (row.padsInPlace && (row.shape != StreamShape::kBlocks64 || !row.blocks.littleEndian ||
                            4 * row.blocks.wordCount > kDigestScratchBytes)) {
        return false;
    }
    switch (row.shape) {
        case StreamShape::kBlocks64:
            return row.blocks.wordCount >= 1 && row.blocks.wordCount <= 8 &&
                   row.textLength == 8 * row.blocks.wordCount;
        case StreamShape::kCrc: return row.textLength == 4 || row.textLength == 8;
        case StreamShape::kMD2: return row.textLength == 32;
        case StreamShape::kForms: return row.forms.count >= 1;
    }
    return false;
}

constexpr bool EveryRowIsSound() {
    for (int index = 0; index < kDigestCount; ++index) {
        if (!RowIsSound(index)) return false;
    }
    return true;
}

static_assert(EveryRowIsSound(), "a row of the digest table is out of place or incomplete");
static_assert(kWindowDigestCount <= kDigestCount);

}  // namespace
