// The digest table as its readers rely on it: every row's routine and stream agree on its text
// and its length, the command line finds every row by its name, and a row with stream forms of
// its own runs the best form the processor may use, in a state of the promised size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "algorithms.h"
#include "digest_internal.h"
#include "digest_stream.h"
#include "digest_test_support.h"
#include "options.h"
#include "processor.h"
#include "row_streams.h"

namespace {

using digest_test::Digest;
using digest_test::PatternMessage;
using digest_test::StreamDigest;

TEST(DigestTable, EveryRowsRoutineAndStreamGiveOneTextOfTheRowsLength) {
    for (const DigestAlgorithm& row : DigestTable) {
        for (std::size_t length : std::initializer_list<std::size_t>{0, 1, 55, 56, 64, 247, 767}) {
            const std::string message = PatternMessage(length);
            const std::string text = Digest(row, message);
            if (row.textForm == TextForm::kDecimal) {
                EXPECT_TRUE(!text.empty() &&
                            text.size() <= static_cast<std::size_t>(row.textLength) &&
                            text.find_first_not_of("0123456789") == std::string::npos &&
                            (text == "0" || text[0] != '0'))
                    << row.name << " of " << length << " bytes: " << text;
            } else {
                EXPECT_EQ(text.size(), static_cast<std::size_t>(row.textLength))
                    << row.name << " of " << length << " bytes";
            }
            EXPECT_EQ(StreamDigest(row.kind, message), text) << row.name << " of " << length;
        }
    }
}

TEST(DigestTable, TheWindowsRowsLeadAndAreTheOnlyOnesWithARoutine) {
    for (int k = 0; k < kDigestCount; ++k) {
        EXPECT_EQ(DigestTable[k].windowRoutine != nullptr, k < kWindowDigestCount)
            << DigestTable[k].name;
    }
}

// A processor-specific path without the features it needs would run where it cannot.
TEST(DigestTable, EveryStreamRecordIsCompleteAndNamesTheFeaturesOfItsFastPath) {
    for (const DigestAlgorithm& row : DigestTable) {
        switch (row.shape) {
            case StreamShape::kBlocks64:
                EXPECT_NE(row.blocks.initialWords, nullptr) << row.name;
                EXPECT_NE(row.blocks.portable, nullptr) << row.name;
                EXPECT_TRUE(row.blocks.hardware == nullptr || row.blocks.hardwareFeatures != 0)
                    << row.name;
                break;
            case StreamShape::kCrc:
                EXPECT_NE(row.crc.portable, nullptr) << row.name;
                EXPECT_TRUE(row.crc.hardware == nullptr || row.crc.hardwareFeatures != 0)
                    << row.name;
                break;
            case StreamShape::kMD2: break;
            case StreamShape::kForms:
                ASSERT_NE(row.forms.forms, nullptr) << row.name;
                ASSERT_GE(row.forms.count, 1) << row.name;
                // The last form is the portable one, which every processor can run.
                EXPECT_EQ(row.forms.forms[row.forms.count - 1].features, 0u) << row.name;
                // A list shorter than its declared bound is filled up with empty forms.
                for (int i = 0; i < row.forms.count; ++i) {
                    const StreamForm& form = row.forms.forms[i];
                    EXPECT_TRUE(form.start != nullptr && form.feed != nullptr &&
                                form.finish != nullptr)
                        << row.name << " form " << i;
                }
                break;
        }
    }
}

TEST(DigestTable, EveryNameParsesBackToItsKindWithOrWithoutDashes) {
    for (const DigestAlgorithm& row : DigestTable) {
        DigestKind parsed = DigestKind::kCount;
        ASSERT_TRUE(ParseAlgorithmName(row.name, &parsed)) << row.name;
        EXPECT_EQ(parsed, row.kind) << row.name;
        // The way a user types it: lower case, a dash before the first digit.
        std::string typed;
        for (const char* c = row.name; *c != '\0'; ++c) {
            if (*c >= '0' && *c <= '9' && !typed.empty() && typed.back() >= 'a') typed += '-';
            typed += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
        }
        ASSERT_TRUE(ParseAlgorithmName(typed, &parsed)) << typed;
        EXPECT_EQ(parsed, row.kind) << typed;
    }
}

TEST(DigestTable, TheHelpTextListsEveryRowInTableOrder) {
    std::string help = HelpText();
    for (char& c : help) {
        if (c == '\n') c = ' ';
    }
    std::size_t after = 0;
    for (const DigestAlgorithm& row : DigestTable) {
        const std::size_t at = help.find(std::string(" ") + row.name, after);
        ASSERT_NE(at, std::string::npos) << row.name << " missing or out of order";
        after = at + 1;
    }
}

// A row with forms of its own, as the command-line-only algorithms have. Each form counts the
// bytes fed into the last word of the whole state, so a state smaller than promised overflows
// (the sanitizers see it), and finishes into a longest text that names the form.
struct TestFormState {
    char form;  // 'w' wide, 'p' portable
};

std::uint64_t* ByteCount(void* state) {
    return reinterpret_cast<std::uint64_t*>(static_cast<unsigned char*>(state) + kStreamStateBytes -
                                            sizeof(std::uint64_t));
}

template <char kForm>
void StartTestForm(void* state) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state) % kStreamStateAlignment, 0u);
    static_cast<TestFormState*>(state)->form = kForm;
    *ByteCount(state) = 0;
}

void FeedTestForm(void* state, const unsigned char* /*bytes*/, std::size_t count) {
    *ByteCount(state) += count;
}

void FinishTestForm(void* state, char* text) {
    std::memset(text, '0', kLongestStreamTextBytes - 1);
    text[0] = static_cast<TestFormState*>(state)->form;
    const std::string count = std::to_string(*ByteCount(state));
    std::memcpy(text + 1, count.data(), count.size());
    text[kLongestStreamTextBytes - 1] = '\0';
}

constexpr StreamForm kTestForms[] = {
    {kFeatureSSE2, StartTestForm<'w'>, FeedTestForm, FinishTestForm},
    {0, StartTestForm<'p'>, FeedTestForm, FinishTestForm},
};

DigestAlgorithm TestFormsRow() {
    DigestAlgorithm row{DigestKind::kCount,  "TEST", kLongestStreamTextBytes - 1, nullptr, false,
                        StreamShape::kForms, {}};
    row.forms = {kTestForms, 2};
    return row;
}

std::string FeedAndFinish(DigestStream* stream, std::size_t count, bool limitInBetween) {
    const std::string bytes(count, 'x');
    FeedDigest(stream, bytes.data(), count / 2);
    if (limitInBetween) LimitProcessorFeatures(0);
    FeedDigest(stream, bytes.data() + count / 2, count - count / 2);
    char text[kLongestStreamTextBytes];
    FinishDigest(stream, text);
    return text;
}

TEST(DigestTable, AFormsRowRunsTheFirstUsableFormFromStartToFinish) {
    const DigestAlgorithm row = TestFormsRow();
    const bool wideUsable = (DetectedProcessorFeatures() & kFeatureSSE2) != 0;
    // On the stack, where a caller keeps its streams, the forms' state must still be aligned.
    DigestStream stream;

    LimitProcessorFeatures(kAllProcessorFeatures);
    digest_internal::StartDigestOnRow(&stream, &row);
    // The form chosen at the start keeps the stream even when the limit narrows meanwhile: the
    // state is laid out for it.
    std::string text = FeedAndFinish(&stream, 1001, true);
    EXPECT_EQ(text.size(), static_cast<std::size_t>(kLongestStreamTextBytes - 1));
    EXPECT_EQ(text.substr(0, 5), std::string(wideUsable ? "w" : "p") + "1001");

    digest_internal::StartDigestOnRow(&stream, &row);
    EXPECT_EQ(FeedAndFinish(&stream, 7, false).substr(0, 2), "p7");
    LimitProcessorFeatures(kAllProcessorFeatures);
}

}  // namespace
