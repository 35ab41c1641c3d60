#include "engine/ConversionReport.h"

#include <errno.h>

#include "engine/SoundFormat.h"

namespace kelvora {

void ConversionReport::Fail(Failure why, uint32_t soundFormat) {
    if (failure == Failure::None) {
        failure = why;
        format = soundFormat;
    }
}

void ConversionReport::Cut() {
    failure = Failure::SourceChanged;
    format = 0;
}

void ConversionReport::Skip(uint32_t soundFormat, SkipReason why) {
    // Formats that share a name are told together: "3 Nellymoser sounds".
    const std::string name = SoundFormatName(soundFormat);
    for (Skipped& s : skipped) {
        if (s.why == why && name == SoundFormatName(s.format)) {
            ++s.count;
            return;
        }
    }
    skipped.push_back({soundFormat, why, 1});
}

void ConversionReport::Lose(Failure why) {
    if (lost == Failure::None) {
        lost = why;
    }
    ++lostCount;
}

void ConversionReport::Short(uint32_t soundFormat, uint32_t claimed, uint32_t written) {
    shortfalls.push_back({soundFormat, claimed, written});
}

void ConversionReport::Differs(uint32_t soundFormat, uint32_t planned, uint32_t written) {
    differences.push_back({soundFormat, planned, written});
}

namespace {

bool OfTheMachine(Failure why) {
    switch (why) {
        case Failure::Unreadable:
        case Failure::SourceChanged:
        case Failure::NoWritableFolder:
        case Failure::DiskFull:
        case Failure::WriteFailed:
        case Failure::LibraryMissing:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool MayGiveMoreLater(const ConversionReport& report) {
    if (OfTheMachine(report.failure) || OfTheMachine(report.lost)) {
        return true;
    }
    for (const ConversionReport::Skipped& skipped : report.skipped) {
        if (skipped.why == SkipReason::LibraryMissing) {
            return true;
        }
    }
    for (const auto& [where, inner] : report.inner) {
        if (inner && MayGiveMoreLater(*inner)) {
            return true;
        }
    }
    return false;
}

Failure WriteFailure(int error) {
    return error == ENOSPC || error == EDQUOT ? Failure::DiskFull : Failure::WriteFailed;
}

std::string FailureText(Failure why, uint32_t format, const std::string& optionName,
                        const std::string& detail) {
    const std::string name = SoundFormatName(format);
    switch (why) {
        case Failure::None:
            return {};
        case Failure::Unreadable:
            return "the file is gone or cannot be read";
        case Failure::NotSwf:
            return "not a SWF movie";
        case Failure::NotFlv:
            return "not an FLV video";
        case Failure::NotSwfOrFlv:
            return "not a SWF or FLV file";
        case Failure::BrokenCompression:
            return "its compressed data is broken";
        case Failure::LzmaNeedsOption:
            return "LZMA-compressed movies are read with " + optionName;
        case Failure::SourceChanged:
            return "the file changed while it was read";
        case Failure::NoAudioTrack:
            return "no audio track";
        case Failure::FormatNeedsOption:
            return name + " sound is converted with " + optionName;
        case Failure::FormatUnsupported:
            return name + " sound cannot be converted";
        case Failure::NothingDecoded:
            return "none of its " + name + " sound could be decoded";
        case Failure::EmptyStreamHead:
            return "its stream head gives no samples per block";
        case Failure::NoWritableFolder:
            return "no output folder can be written";
        case Failure::DiskFull:
            return "the disk is full";
        case Failure::WriteFailed:
            return "an output file could not be written";
        case Failure::EncoderFailed:
            return "the MP3 encoder failed";
        case Failure::DecoderFailed:
            return "the MP3 sound could not be decoded";
        case Failure::NoSamples:
            return "it holds no samples";
        case Failure::LibraryMissing:
            return name + " sound cannot be decoded: " + detail;
        case Failure::NoMovieInside:
            return "no movie or video was found in it";
        case Failure::ArchiveUnreadable:
            return "the archive cannot be read" + (detail.empty() ? std::string() : ": " + detail);
        case Failure::EmbedsItself:
            return "it embeds itself";
        case Failure::NestedTooDeep:
            return "it lies more than " + std::to_string(kMostNesting) + " movies deep";
        case Failure::InflatesTooFar:
            return "it inflates past what any compression gives";
        case Failure::SameMovie:
            return "the same movie as " + detail + ", read once";
        case Failure::TooMuchWork:
            return "not read, nor anything after it: " + detail;
        case Failure::TooManyOutputs:
            return "the file gives more outputs than one file may";
    }
    return {};
}

namespace {

// "1 sound", "3 ADPCM sounds".
std::string Sounds(uint32_t count, const std::string& format) {
    return std::to_string(count) + (format.empty() ? "" : " " + format) +
           (count == 1 ? " sound" : " sounds");
}

}  // namespace

std::vector<std::string> DescribeReport(const ConversionReport& report,
                                        const std::string& optionName) {
    std::vector<std::string> lines;
    if (report.failure != Failure::None) {
        lines.push_back(FailureText(report.failure, report.format, optionName, report.detail));
    }
    for (const ConversionReport::Skipped& s : report.skipped) {
        std::string line = Sounds(s.count, SoundFormatName(s.format)) + " skipped";
        const char* them = s.count == 1 ? "it" : "them";
        switch (s.why) {
            case SkipReason::NeedsOption:
                line += " (" + optionName + " converts " + them + ")";
                break;
            case SkipReason::Unsupported:
                line += " (not convertible)";
                break;
            case SkipReason::NothingDecoded:
                line += std::string(" (nothing in ") + them + " could be decoded)";
                break;
            case SkipReason::LibraryMissing:
                line += " (" + report.detail + ")";
                break;
            case SkipReason::TooManyOutputs:
                line += " (the file gives more outputs than one file may)";
                break;
        }
        lines.push_back(std::move(line));
    }
    for (const ConversionReport::Shortfall& s : report.shortfalls) {
        lines.push_back(Sounds(1, SoundFormatName(s.format)) +
                        " decoded short: " + std::to_string(s.written) + " of the " +
                        std::to_string(s.claimed) + " sample frames its tag claims");
    }
    for (const ConversionReport::Difference& d : report.differences) {
        lines.push_back(Sounds(1, SoundFormatName(d.format)) + " written with " +
                        std::to_string(d.written) + " sample frames where " +
                        std::to_string(d.planned) +
                        " were listed (its decoder did not take all of it)");
    }
    if (report.lostCount > 0) {
        lines.push_back(Sounds(report.lostCount, {}) +
                        " not written: " + FailureText(report.lost, 0, optionName));
    }
    for (const auto& [where, inner] : report.inner) {
        for (const std::string& line : DescribeReport(*inner, optionName)) {
            lines.push_back(where + ": " + line);
        }
    }
    return lines;
}

std::vector<std::string> DescribeInnerFailures(const ConversionReport& report,
                                               const std::string& optionName) {
    std::vector<std::string> lines;
    for (const auto& [where, inner] : report.inner) {
        if (inner->failure != Failure::None) {
            lines.push_back(where + ": " +
                            FailureText(inner->failure, inner->format, optionName, inner->detail));
        }
        for (const std::string& line : DescribeInnerFailures(*inner, optionName)) {
            lines.push_back(where + ": " + line);
        }
    }
    return lines;
}

}  // namespace kelvora
