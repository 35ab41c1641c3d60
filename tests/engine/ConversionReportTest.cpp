#include "engine/ConversionReport.h"

#include <errno.h>
#include <gtest/gtest.h>

#include "engine/SoundFormat.h"

namespace kelvora {
namespace {

// The first failure is the one told; skipped formats that share a name count together; sounds
// not written are counted with the reason of the first.
TEST(ConversionReport, TellsTheFirstFailureAndCountsSkippedAndLostSounds) {
    ConversionReport report;
    report.Fail(Failure::NothingDecoded, kFormatSpeex);
    report.Fail(Failure::DiskFull, kFormatMp3);
    report.Skip(kFormatNellymoser8k, SkipReason::NeedsOption);
    report.Skip(kFormatNellymoser, SkipReason::NeedsOption);
    report.Skip(kFormatAac, SkipReason::NothingDecoded);
    report.Lose(WriteFailure(ENOSPC));
    EXPECT_EQ(DescribeReport(report, "--all-formats"),
              (std::vector<std::string>{"none of its Speex sound could be decoded",
                                        "2 Nellymoser sounds skipped (--all-formats converts them)",
                                        "1 AAC sound skipped (nothing in it could be decoded)",
                                        "1 sound not written: the disk is full"}));
    report.Lose(WriteFailure(EACCES));
    EXPECT_EQ(DescribeReport(report, "X").back(), "2 sounds not written: the disk is full");
}

}  // namespace
}  // namespace kelvora
