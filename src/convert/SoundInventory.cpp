#include "convert/SoundInventory.h"

#include "convert/SourceRun.h"
#include "engine/OutputNaming.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "engine/TextFormat.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora {

std::string OutputNameText(const PlannedSound& sound) {
    const std::string& path = sound.output.path;
    if (path.empty() || !sound.Converted()) {
        return {};
    }
    const std::string ext = ExtensionPart(path);
    return FileNamePart(path.substr(0, path.size() - ext.size()));
}

const char* KindText(const PlannedSound& sound) {
    return sound.kind == SoundKind::Event    ? "event"
           : sound.kind == SoundKind::Stream ? "stream"
                                             : "track";
}

std::string TimelineText(const PlannedSound& sound) {
    return sound.kind == SoundKind::Track ? "-"
           : sound.sprite < 0             ? "main"
                                          : "sprite " + std::to_string(sound.sprite);
}

std::string CharacterIdText(const PlannedSound& sound) {
    return sound.kind == SoundKind::Event ? std::to_string(sound.characterId) : "-";
}

std::string SkipText(const PlannedSound& sound, const std::string& optionName) {
    return FailureText(sound.skip, sound.format, optionName, sound.skipDetail);
}

std::string PreciseLengthText(uint64_t sampleFrames, uint32_t sampleRate) {
    const uint64_t ms = sampleRate == 0 ? 0 : sampleFrames * 1000 / sampleRate;
    return Format("%llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
}

FileListing ListSounds(const std::string& path, const ConversionOptions& options, bool toMp3) {
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
    listing.sounds = run.Planned();
    return listing;
}

}  // namespace kelvora
