// The XM cell packing that the loader, the composer's writer and the fuzzer share: every cell
// comes back from its packed bytes as it went in, in both forms, and the forms are chosen as
// the file format and the embedded song's bytes require.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "xm_format.h"

namespace {

using Fields = std::vector<std::uint8_t>;

std::vector<std::uint8_t> Pack(const Fields& fields, bool masked) {
    std::vector<std::uint8_t> bytes;
    auto put = [&bytes](std::uint8_t byte) { bytes.push_back(byte); };
    if (masked) {
        xm::PackCellMasked(fields.data(), put);
    } else {
        xm::PackCell(fields.data(), put);
    }
    return bytes;
}

// Unpacks from `bytes`; past their end the source gives 0, as the loader's reader does.
Fields Unpack(const std::vector<std::uint8_t>& bytes, std::size_t* used) {
    std::size_t next = 0;
    Fields fields(xm::kCellFieldCount);
    xm::UnpackCell([&] { return next < bytes.size() ? bytes[next++] : std::uint8_t{0}; },
                   fields.data());
    *used = next;
    return fields;
}

TEST(XmCells, EveryCombinationOfFieldsSurvivesBothForms) {
    const std::uint8_t values[xm::kCellFieldCount] = {49, 3, 0x40, 0x0F, 0x7D};
    for (unsigned present = 0; present < 32; ++present) {
        Fields fields(xm::kCellFieldCount, 0);
        for (std::size_t i = 0; i < xm::kCellFieldCount; ++i) {
            if ((present & (1u << i)) != 0) fields[i] = values[i];
        }
        for (bool masked : {false, true}) {
            const std::vector<std::uint8_t> bytes = Pack(fields, masked);
            std::size_t used = 0;
            EXPECT_EQ(Unpack(bytes, &used), fields) << "fields " << present << " masked " << masked;
            EXPECT_EQ(used, bytes.size());
        }
    }
}

TEST(XmCells, FormsAreChosenAsTheFileExpects) {
    // All five fields set: five raw bytes, unless the note could be taken for a mask.
    EXPECT_EQ(Pack({5, 1, 2, 3, 4}, false), (std::vector<std::uint8_t>{5, 1, 2, 3, 4}));
    EXPECT_EQ(Pack({0x80, 1, 2, 3, 4}, false), (std::vector<std::uint8_t>{0x9F, 0x80, 1, 2, 3, 4}));
    EXPECT_EQ(Pack({5, 1, 2, 3, 4}, true), (std::vector<std::uint8_t>{0x9F, 5, 1, 2, 3, 4}));
    // Missing fields: a mask naming those that follow; an empty cell is the mask alone.
    EXPECT_EQ(Pack({xm::kFileKeyOffNote, 0, 0, 0x0F, 0}, false),
              (std::vector<std::uint8_t>{0x89, xm::kFileKeyOffNote, 0x0F}));
    EXPECT_EQ(Pack({0, 0, 0, 0, 0}, false), (std::vector<std::uint8_t>{xm::kCellMaskFlag}));

    // A cell cut short by the end of the image reads its missing fields as 0.
    std::size_t used = 0;
    EXPECT_EQ(Unpack({0x9F, 12, 7}, &used), (Fields{12, 7, 0, 0, 0}));
    EXPECT_EQ(Unpack({60, 2}, &used), (Fields{60, 2, 0, 0, 0}));
}

}  // namespace
