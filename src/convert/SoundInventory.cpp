#include "convert/SoundInventory.h"

#include "audio/CCodecDecoder.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "engine/TextFormat.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

void ListMovie(const std::string& path, const ConversionOptions& options, bool toMp3,
               const std::string& optionName, FileListing& listing) {
    CSwfReader reader;
    reader.SetOptions(options);
    if (!reader.Inspect(path)) {
        listing.report = reader.Report();
        return;
    }
    listing.read = true;
    listing.movie = {reader.Width(), reader.Height(), static_cast<uint32_t>(reader.FrameRate()),
                     static_cast<uint32_t>(reader.FrameCount()), reader.Version()};
    listing.compression = reader.Signature() == 'C'   ? "zlib"
                          : reader.Signature() == 'Z' ? "lzma"
                                                      : "none";
    const std::vector<std::string> names = reader.PlannedNames(toMp3);
    for (const size_t i : reader.CompletionOrder()) {
        const SwfSound& s = reader.Sounds()[i];
        if (s.IsStream() && !s.HasBlocks()) {
            continue;  // a stream without blocks writes nothing
        }
        SoundListing line;
        line.outputName = names[i];
        line.kind = s.IsStream() ? "stream" : "event";
        line.timeline = s.sprite < 0 ? "main" : "sprite " + std::to_string(s.sprite);
        line.characterId = s.IsStream() ? "-" : std::to_string(s.characterId);
        line.format = SoundFormatName(s.format);
        line.sampleRate = reader.PlannedSampleRate(s);
        const Failure skip = reader.SkipOf(s);
        const bool decoded = skip == Failure::None && s.format > kFormatPcmLittleEndian;
        line.bitsPerSample = decoded || s.is16Bit ? 16 : 8;
        line.channels = s.isStereo ? 2 : 1;
        line.sampleFrames = reader.PlannedSampleCount(s);
        const uint16_t owner = s.IsStream() ? static_cast<uint16_t>(s.sprite) : s.characterId;
        if (!s.IsStream() || s.sprite >= 0) {
            line.names = reader.Names().AllNamesOf(owner);
        }
        // A stream that gives no samples leaves no file; an event sound always does.
        const bool empty = s.IsStream() && line.sampleFrames == 0;
        line.converted = skip == Failure::None && !empty;
        if (skip != Failure::None) {
            line.skipReason =
                FailureText(skip, s.format, optionName, CCodecDecoder::LibraryError());
        } else if (empty) {
            line.skipReason = "it holds no samples";
        }
        listing.sounds.push_back(std::move(line));
    }
}

void ListVideo(const std::string& path, const ConversionOptions& options, bool toMp3,
               const std::string& optionName, FileListing& listing) {
    CFlvReader reader;
    FlvTrackInfo track;
    if (!reader.Inspect(path, track)) {
        listing.report = reader.Report();
        return;
    }
    listing.read = true;
    listing.flvVersion = reader.Version();
    if (!track.hasAudio) {
        return;
    }
    const bool plain = track.format <= kFormatMp3;
    const bool wide = track.format == kFormatPcmLittleEndian || track.format == kFormatMp38k ||
                      (track.format >= kFormatNellymoser16k && track.format <= kFormatMulaw) ||
                      track.format == kFormatAac || track.format == kFormatSpeex;
    SoundListing line;
    const std::string base = PlannedOutputBase(path, SourceKind::Flv);
    const std::string name = NextFlvName(base, toMp3 ? ".mp3" : ".wav");
    line.outputName = name.empty() ? std::string() : FileNamePart(name.substr(0, name.size() - 4));
    line.kind = "track";
    line.timeline = "-";
    line.characterId = "-";
    line.format = SoundFormatName(track.format);
    line.sampleRate = track.sampleRate;
    line.bitsPerSample = track.bitsPerSample;
    line.channels = track.channels;
    line.sampleFrames = track.sampleFrames;
    line.converted = plain || (wide && options.allFormats);
    if (line.converted && CCodecDecoder::Decodes(track.format) && !CCodecDecoder::Available()) {
        line.converted = false;
        line.skipReason = FailureText(Failure::LibraryMissing, track.format, optionName,
                                      CCodecDecoder::LibraryError());
    } else if (!line.converted) {
        line.skipReason =
            FailureText(wide ? Failure::FormatNeedsOption : Failure::FormatUnsupported,
                        track.format, optionName);
    }
    if (!line.converted) {
        line.outputName.clear();  // a track that is not converted writes nothing
    }
    listing.sounds.push_back(std::move(line));
}

}  // namespace

std::string PreciseLengthText(uint64_t sampleFrames, uint32_t sampleRate) {
    const uint64_t ms = sampleRate == 0 ? 0 : sampleFrames * 1000 / sampleRate;
    return Format("%llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
}

FileListing ListSounds(const std::string& path, const ConversionOptions& options, bool toMp3,
                       const std::string& optionName) {
    FileListing listing;
    listing.path = path;
    if (HasExtension(path, ".swf")) {
        listing.kind = SourceKind::Swf;
        ListMovie(path, options, toMp3, optionName, listing);
    } else if (HasExtension(path, ".flv")) {
        listing.kind = SourceKind::Flv;
        ListVideo(path, options, toMp3, optionName, listing);
    } else {
        listing.report.Fail(Failure::NotSwfOrFlv);
    }
    return listing;
}

}  // namespace kelvora
