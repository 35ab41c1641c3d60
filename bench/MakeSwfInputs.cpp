// kelvora_make_swf IN.wav IN.mp3 OUT_FOLDER: writes the SWF inputs of bench/compare.sh, built
// with the test support code from a 16-bit stereo WAV and an MP3 file of the same sound:
//   events.swf   200 short event sounds (PCM and MP3, alternating)
//   stream.swf   the whole sound as one PCM stream in the main timeline, and the MP3 as an MP3
//                stream inside a sprite
// kelvora_make_swf --big MB OUT_FOLDER: writes movies of about MB megabytes of sound data, for
// measuring what large movies cost:
//   big_stream.swf      a PCM stream in blocks of 1/12 s
//   big_stream_cws.swf  the same movie compressed
//   big_adpcm.swf       one ADPCM event sound (4-bit stereo)
#include <cstdio>
#include <string>

#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/SwfBuilder.h"

using namespace kelvora::test;

namespace {

// The frames of an MP3 file cut into pieces of about `frames` frames each.
std::vector<Bytes> Mp3Pieces(const Bytes& mp3, size_t approxBytes) {
    std::vector<Bytes> pieces;
    size_t start = 0;
    for (size_t pos = 1; pos + 1 < mp3.size(); ++pos) {
        const bool sync = mp3[pos] == 0xFF && (mp3[pos + 1] & 0xE0) == 0xE0;
        if (sync && pos - start >= approxBytes) {
            pieces.emplace_back(mp3.begin() + static_cast<long>(start),
                                mp3.begin() + static_cast<long>(pos));
            start = pos;
        }
    }
    pieces.emplace_back(mp3.begin() + static_cast<long>(start), mp3.end());
    return pieces;
}

int WriteBigMovies(size_t megabytes, const std::string& out) {
    const Bytes noise = Noise(megabytes << 20);
    SwfMovie movie;
    movie.tags = Concat({PcmStream(noise), SwfEndTag()});
    bool ok = WriteFileBytes(out + "/big_stream.swf", BuildSwf(movie));
    movie.compressed = true;
    ok = ok && WriteFileBytes(out + "/big_stream_cws.swf", BuildSwf(movie));
    // 4-bit stereo codes: a block of 4096 samples is 22 + 2 * 4095 * 4 bits.
    const uint32_t samples = static_cast<uint32_t>(noise.size() / 1026 * 1024);
    const Bytes adpcm = Concat({Bytes{0x80}, noise});
    movie.compressed = false;
    movie.tags = Concat({DefineSound(1, 1, 3, true, true, samples, adpcm), SwfEndTag()});
    ok = ok && WriteFileBytes(out + "/big_adpcm.swf", BuildSwf(movie));
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--big") {
        return WriteBigMovies(std::stoul(argv[2]), argv[3]);
    }
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: kelvora_make_swf IN.wav IN.mp3 OUT_FOLDER\n"
                     "       kelvora_make_swf --big MB OUT_FOLDER\n");
        return 2;
    }
    const Bytes wav = ReadFileBytes(argv[1]);
    const Bytes mp3 = ReadFileBytes(argv[2]);
    if (wav.size() <= 44 || mp3.empty()) {
        std::fprintf(stderr, "kelvora_make_swf: empty input\n");
        return 1;
    }
    const Bytes pcm(wav.begin() + 44, wav.end());
    const std::string out = argv[3];

    // Event sounds: a second of PCM each, and MP3 pieces of about the same length.
    Bytes events;
    const std::vector<Bytes> pieces = Mp3Pieces(mp3, 16000);
    const size_t second = 44100 * 4;
    for (uint16_t i = 0; i < 200; ++i) {
        if (i % 2 == 0) {
            const size_t from = (size_t{i} * second) % (pcm.size() - second);
            const Bytes sound(pcm.begin() + static_cast<long>(from),
                              pcm.begin() + static_cast<long>(from + second));
            events = Concat({events, DefineSound(i, 3, 3, true, true, 44100, sound)});
        } else {
            events = Concat(
                {events, DefineSound(i, 2, 3, true, true, 44100, pieces[i % pieces.size()])});
        }
    }
    SwfMovie movie;
    movie.tags = Concat({events, SwfEndTag()});
    WriteFileBytes(out + "/events.swf", BuildSwf(movie));

    // Streams: PCM blocks of 1/12 s in the main timeline; the MP3 in a sprite.
    ByteWriter sprite;
    sprite.Append(SoundStreamHead(2, 3, true, true, 1152));
    for (const Bytes& piece : Mp3Pieces(mp3, 1500)) {
        sprite.Append(Mp3StreamBlock(1152, 0, piece));
    }
    movie.tags = Concat({PcmStream(pcm), DefineSprite(1, 1, sprite.bytes()), SwfEndTag()});
    WriteFileBytes(out + "/stream.swf", BuildSwf(movie));
    return 0;
}
