#include "serial/upload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_analyzer.h"

namespace km37 {
namespace {

using testing::FakeAnalyzer;
using Answer = FakeAnalyzer::Answer;

std::vector<std::uint8_t> image_of(std::uint8_t (*byte_at)(std::size_t)) {
    std::vector<std::uint8_t> image(kFirmwareImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = byte_at(i);
    return image;
}

const std::vector<std::uint8_t>& varied_image() {
    static const auto image = image_of([](std::size_t i) { return static_cast<std::uint8_t>((i * 7919 + 13) >> 3); });
    return image;
}

// Records the progress calls and where in the transfer each mark fell.
class RecordingSink final : public ProgressSink {
public:
    explicit RecordingSink(const FakeAnalyzer& analyzer) : analyzer_(analyzer) {}
    void start() override { calls += 'S'; }
    void mark() override {
        calls += 'M';
        marks_at.push_back(analyzer_.image_bytes.size());
    }
    void finish() override { calls += 'F'; }

    std::string calls;
    std::vector<std::size_t> marks_at;

private:
    const FakeAnalyzer& analyzer_;
};

struct Transfer {
    FakeAnalyzer analyzer{true};
    RecordingSink sink{analyzer};
    UploadOutcome run(const std::vector<std::uint8_t>& image) {
        return stream_image(analyzer, FirmwareImage(image.data(), kFirmwareImageSize), sink);
    }
};

TEST(SendWakeUp, PausesThenWritesTheCommandInOneWrite) {
    FakeAnalyzer analyzer;
    send_wake_up(analyzer);
    EXPECT_EQ(analyzer.pauses, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(300)});
    EXPECT_EQ(analyzer.bytes_at_pause, std::vector<std::size_t>{0});
    EXPECT_EQ(analyzer.write_calls, 1u);
    EXPECT_EQ(analyzer.wake_up_bytes, (std::vector<std::uint8_t>{'\n', '\n', 'W', 'R'}));
    EXPECT_EQ(analyzer.reads, 0u);
}

TEST(StreamImage, FullTransferSendsEveryByteOnceWithOneWriteEach) {
    Transfer transfer;
    EXPECT_EQ(transfer.run(varied_image()), UploadOutcome::Success);
    EXPECT_EQ(transfer.analyzer.image_bytes, varied_image());
    EXPECT_EQ(transfer.analyzer.write_calls, kFirmwareImageSize);
    EXPECT_EQ(transfer.analyzer.reads, 252u);
    EXPECT_EQ(transfer.analyzer.pauses, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(100)});
    EXPECT_EQ(transfer.analyzer.bytes_at_pause, std::vector<std::size_t>{0});

    EXPECT_EQ(transfer.sink.calls, "S" + std::string(66, 'M') + "F");
    ASSERT_EQ(transfer.sink.marks_at.size(), 66u);
    for (std::size_t k = 0; k < 66; ++k) EXPECT_EQ(transfer.sink.marks_at[k], k * 992) << "mark " << k;
}

// The acknowledgement the analyzer gives after blocks 1, 2, 3 and 252, for
// three images, answered literally; every other block is answered with the
// fake's own sum. The transfer succeeds only if it expects exactly these.
struct WorkedValues {
    const char* image_name;
    std::uint8_t (*byte_at)(std::size_t);
    std::array<std::array<std::uint8_t, 2>, 4> acknowledgements;
};

const WorkedValues kWorkedValues[] = {
    {"every byte 0x00", [](std::size_t) -> std::uint8_t { return 0x00; },
     {{{0x00, 0x00}, {0x00, 0x00}, {0x00, 0x00}, {0x00, 0x00}}}},
    {"every byte 0xFF", [](std::size_t) -> std::uint8_t { return 0xFF; },
     {{{0x00, 0xFF}, {0x00, 0xFE}, {0x00, 0xFD}, {0x00, 0x04}}}},
    {"byte i = i mod 256", [](std::size_t i) { return static_cast<std::uint8_t>(i % 256); },
     {{{0x80, 0x7F}, {0x00, 0xFF}, {0x80, 0x7E}, {0x00, 0x82}}}},
};
constexpr std::size_t kWorkedBlocks[] = {1, 2, 3, 252};

TEST(StreamImage, ExpectsTheCumulativeSumOfTheWorkedValues) {
    for (const WorkedValues& values : kWorkedValues) {
        const auto image = image_of(values.byte_at);
        Transfer exact;
        for (std::size_t n = 0; n < 4; ++n) exact.analyzer.literal_answers[kWorkedBlocks[n]] = values.acknowledgements[n];
        EXPECT_EQ(exact.run(image), UploadOutcome::Success) << values.image_name;

        for (std::size_t n = 0; n < 4; ++n) {
            for (std::size_t byte = 0; byte < 2; ++byte) {
                Transfer off_by_one;
                auto wrong = values.acknowledgements[n];
                wrong[byte] = static_cast<std::uint8_t>(wrong[byte] + 1);
                off_by_one.analyzer.literal_answers[kWorkedBlocks[n]] = wrong;
                EXPECT_EQ(off_by_one.run(image), UploadOutcome::ProgrammingError)
                    << values.image_name << ", block " << kWorkedBlocks[n] << ", byte " << byte;
                EXPECT_EQ(off_by_one.analyzer.image_bytes.size(), 256 * kWorkedBlocks[n]);
            }
        }
    }
}

struct FailureCase {
    const char* what;
    std::size_t block;
    Answer answer;
    UploadOutcome outcome;
};

TEST(StreamImage, StopsAtTheFirstMissingOrWrongAcknowledgement) {
    const FailureCase cases[] = {
        {"no answer to block 1", 1, Answer::Nothing, UploadOutcome::NoResponse},
        {"no answer to block 100", 100, Answer::Nothing, UploadOutcome::NoResponse},
        {"wrong low byte at block 1", 1, Answer::WrongLow, UploadOutcome::ProgrammingError},
        {"wrong high byte alone at block 2", 2, Answer::WrongHigh, UploadOutcome::ProgrammingError},
        {"one byte only at block 1", 1, Answer::LowByteOnly, UploadOutcome::ProgrammingError},
        {"one byte only at block 40", 40, Answer::LowByteOnly, UploadOutcome::ProgrammingError},
        {"wrong answer to block 252", 252, Answer::WrongLow, UploadOutcome::ProgrammingError},
        {"no answer to block 252", 252, Answer::Nothing, UploadOutcome::NoResponse},
    };
    for (const FailureCase& c : cases) {
        Transfer transfer;
        transfer.analyzer.answers[c.block] = c.answer;
        EXPECT_EQ(transfer.run(varied_image()), c.outcome) << c.what;
        // Nothing after the failing block: no byte, no mark, no finish.
        const std::size_t sent = 256 * c.block;
        EXPECT_EQ(transfer.analyzer.image_bytes.size(), sent) << c.what;
        EXPECT_EQ(transfer.analyzer.reads, c.block) << c.what;
        const std::size_t marks = (sent - 1) / 992 + 1;
        EXPECT_EQ(transfer.sink.calls, "S" + std::string(marks, 'M')) << c.what;
    }
}

TEST(StreamImage, NeverCompletesAShortReplyWithAStaleByte) {
    // Every acknowledgement of an all-zero image is 0x00 0x00, so a reply cut
    // after its first byte would match if the byte left from the previous
    // acknowledgement were compared.
    const auto zeros = image_of([](std::size_t) -> std::uint8_t { return 0; });
    for (std::size_t block : {std::size_t{2}, std::size_t{252}}) {
        Transfer transfer;
        transfer.analyzer.answers[block] = Answer::LowByteOnly;
        EXPECT_EQ(transfer.run(zeros), UploadOutcome::ProgrammingError) << "block " << block;
        EXPECT_EQ(transfer.sink.calls.find('F'), std::string::npos);
    }
}

TEST(StreamImage, SilentAnalyzerGetsOneBlockAndOneMark) {
    Transfer transfer;
    transfer.analyzer.default_answer = Answer::Nothing;
    EXPECT_EQ(transfer.run(varied_image()), UploadOutcome::NoResponse);
    EXPECT_EQ(transfer.analyzer.image_bytes.size(), 256u);
    EXPECT_EQ(transfer.analyzer.write_calls, 256u);
    EXPECT_EQ(transfer.sink.calls, "SM");
}

}  // namespace
}  // namespace km37
