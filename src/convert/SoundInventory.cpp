#include "convert/SoundInventory.h"

#include "convert/InnerSources.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "engine/TextFormat.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

namespace {

SoundListing LineOf(const PlannedSound& p, const std::string& optionName) {
    SoundListing line;
    if (!p.path.empty() && p.Converted()) {
        const std::string ext = ExtensionPart(p.path);
        line.outputName = FileNamePart(p.path.substr(0, p.path.size() - ext.size()));
    }
    line.kind = p.kind == SoundKind::Event    ? "event"
                : p.kind == SoundKind::Stream ? "stream"
                                              : "track";
    line.timeline = p.kind == SoundKind::Track ? "-"
                    : p.sprite < 0             ? "main"
                                               : "sprite " + std::to_string(p.sprite);
    line.characterId = p.kind == SoundKind::Event ? std::to_string(p.characterId) : "-";
    line.format = SoundFormatName(p.format);
    line.sampleRate = p.sampleRate;
    line.bitsPerSample = p.bitsPerSample;
    line.channels = p.channels;
    line.sampleFrames = p.sampleFrames;
    line.names = p.names;
    line.converted = p.Converted();
    if (!line.converted) {
        line.skipReason = FailureText(p.skip, p.format, optionName, p.skipDetail);
    }
    return line;
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
    if (!SourceKindOf(path, options.embedded, listing.kind)) {
        listing.report.Fail(Failure::NotSwfOrFlv);
        return listing;
    }
    CSwfReader movie;
    CFlvReader video;
    CSourceRun run(movie, video, options, toMp3, false);
    listing.read = run.Run(path, listing.kind);
    listing.report = run.Report();
    if (run.HasMovie()) {
        const SwfHeader& h = run.MovieHeader();
        listing.movie = MovieInfoOf(h);
        listing.compression = h.signature == 'C' ? "zlib" : h.signature == 'Z' ? "lzma" : "none";
    }
    listing.flvVersion = video.Version();
    for (const auto& [from, sound] : run.Planned()) {
        listing.sounds.push_back(LineOf(sound, optionName));
        listing.sounds.back().from = from;
    }
    return listing;
}

}  // namespace kelvora
