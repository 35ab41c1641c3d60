// Writes the seed corpora of the fuzz targets: small inputs built with the tests' file builders,
// one for each shape of input a reader handles, and copies of small files of the shared corpus
// and the tests' data. Run from the build: kelvora_fuzz_seeds FUZZ_CORPUS_DIR
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"
#include "support/WavBuilder.h"
#include "support/ZipBuilder.h"
#include "swf/CSwfReader.h"

using namespace kelvora;
using namespace kelvora::test;

namespace {

namespace fs = std::filesystem;

// The shared corpus files (all under 50 KB) taken as seeds; README.md gives their sources.
const char* const kCorpusSwf[] = {
    "exiftool_Flash_nosound.swf",
    "gnash_sound1.swf",
    "jpexs_test_sounds.swf",
    "ofdb_blank_nosound.swf",
    "ruffle_DefineSound.swf",
    "ruffle_SoundStreamHead2.swf",
    "ruffle_StartSound2.swf",
    "ruffle_bad_swf_tag_past_eof.swf",
    "ruffle_from_gnash_swfc_sound.swf",
    "ruffle_g711_event_alaw.swf",
    "ruffle_lzma_nosound.swf",
    "ruffle_not_a_swf.swf",
    "ruffle_old_definesound.swf",
    "ruffle_sprite_no_end.swf",
    "ruffle_swf_length_too_long.swf",
    "ruffle_swf_length_zero.swf",
    "shumway_sound2.swf",
    "swfdec_adpcm-2.swf",
    "swfdec_adpcm-3-2.swf",
    "swfdec_adpcm-4.swf",
    "swfdec_adpcm-5-2.swf",
    "swfdec_crash-half-samples-5.swf",
    "swfdec_crash-no-samples.swf",
};
const char* const kCorpusFlv[] = {
    "exiftool_Flash.flv",
    "gnash_audio_timewarp_aac.flv",
    "gnash_square.flv",
    "ruffle_aac_tone_mono_22050hz.flv",
    "ruffle_g711_alaw_mono.flv",
    "ruffle_h264_video_only.flv",
    "ruffle_netstream_test_video.flv",
};
const char* const kCorpusWav[] = {
    "ref/gnash_sound1.00.event.ref.wav",
    "ref/ruffle_DefineButtonCxformSound-MX.00.event.ref.wav",
};
const char* const kTestDataMp3[] = {
    "mp3/m11_16_notag.mp3", "mp3/m22_32.mp3",         "mp3/m44_64_notag.mp3",
    "mp3/s44_128_info.mp3", "mp3/s44_free_notag.mp3", "mp3/s48_vbr_ffmpeg.mp3",
};
const char* const kTestDataWav[] = {
    "mp3enc/mono5k8.wav",
    "mp3enc/stereo11k8.wav",
    "mp3enc/stereo44k16_empty.wav",
    "mp3/m11_16_notag.lame.wav",
};

struct Seeds {
    fs::path dir;
    int written = 0;

    void Put(const std::string& name, const Bytes& bytes) {
        if (!WriteFileBytes((dir / name).string(), bytes)) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            std::exit(1);
        }
        ++written;
    }
    void Copy(const std::string& from, const std::string& name) {
        const Bytes bytes = ReadFileBytes(from);
        if (bytes.empty() && !fs::exists(from)) {
            std::fprintf(stderr, "missing %s\n", from.c_str());
            std::exit(1);
        }
        Put(name, bytes);
    }
};

Seeds Folder(const fs::path& root, const char* target) {
    Seeds s{root / target};
    fs::create_directories(s.dir);
    return s;
}

// An ADPCM packet: code size field, one block header per channel, then `codes` codes per channel
// from a fixed pseudo-random sequence.
Bytes AdpcmPacket(unsigned width, bool stereo, bool is16Bit, uint32_t codes) {
    BitWriter w;
    w.Bits(width - 2, 2);
    uint32_t x = 12345;
    for (int c = 0; c < (stereo ? 2 : 1); ++c) {
        w.SignedBits(is16Bit ? 1000 * (c + 1) : 128, is16Bit ? 16 : 8).Bits(20 + c, 6);
    }
    for (uint32_t i = 0; i < codes * (stereo ? 2u : 1u); ++i) {
        x = x * 1103515245u + 12345u;
        w.Bits(x >> 16, width);
    }
    return w.Finish();
}

SwfMovie Movie(const Bytes& tags, bool compressed = false) {
    SwfMovie m;
    m.tags = Concat({tags, SwfEndTag()});
    m.compressed = compressed;
    return m;
}

void SwfSeeds(const fs::path& root, const Bytes& mp3Mono, const Bytes& mp3Stereo) {
    Seeds s = Folder(root, "swf");
    s.Put("gen_empty.swf", BuildSwf(Movie({})));
    s.Put("gen_empty_cws.swf", BuildSwf(Movie({}, true)));
    s.Put("gen_define_mp3.swf", BuildSwf(Movie(DefineSound(1, 2, 1, true, false, 1152, mp3Mono))));
    s.Put("gen_define_pcm.swf",
          BuildSwf(Movie(Concat({DefineSound(1, 0, 0, false, false, 8, Bytes(8, 0x80)),
                                 DefineSound(2, 3, 3, true, true, 2, Pcm16({1, -1, 2, -2}))}))));
    s.Put("gen_define_unsupported.swf",
          BuildSwf(Movie(Concat({DefineSound(1, 6, 1, true, false, 64, Bytes(32, 0x11)),
                                 DefineSound(2, 11, 2, true, false, 64, Bytes(32, 0x22))}))));
    for (unsigned width = 2; width <= 5; ++width) {
        for (int mode = 0; mode < 4; ++mode) {
            const bool stereo = mode & 1;
            const bool wide = mode & 2;
            s.Put("gen_define_adpcm" + std::to_string(width) + (stereo ? "s" : "m") +
                      (wide ? "16" : "8") + ".swf",
                  BuildSwf(Movie(DefineSound(1, 1, 2, wide, stereo, 300,
                                             AdpcmPacket(width, stereo, wide, 299)))));
        }
    }
    // Streams: ADPCM blocks in the main timeline, an MP3 stream in a sprite, PCM after it.
    const Bytes adpcmStream = Concat({SoundStreamHead(1, 1, true, true, 200),
                                      SoundStreamBlock(AdpcmPacket(4, true, true, 199)),
                                      SoundStreamBlock(AdpcmPacket(3, true, true, 199))});
    const Bytes mp3Sprite =
        DefineSprite(5, 2,
                     Concat({SoundStreamHead(2, 3, true, true, 1152, true),
                             Mp3StreamBlock(1152, 0, mp3Stereo), SoundStreamBlock({})}));
    s.Put("gen_streams.swf",
          BuildSwf(Movie(
              Concat({adpcmStream, mp3Sprite, SoundStreamBlock(AdpcmPacket(5, true, true, 199)),
                      SoundStreamHead(0, 0, false, false, 4), SoundStreamBlock(Bytes(4, 0x90))}))));
    s.Put("gen_streams_cws.swf", BuildSwf(Movie(Concat({adpcmStream, mp3Sprite}), true)));
    s.Put("gen_stream_empty_head.swf",
          BuildSwf(Movie(Concat({SoundStreamHead(1, 0, true, false, 0), SoundStreamBlock({1, 2}),
                                 SoundStreamHead(2, 0, true, false, 576)}))));
    // Sprites: nested, without an End tag, a tag running past the sprite, a long header.
    Bytes nested = Concat({SoundStreamHead(3, 0, true, false, 1), SoundStreamBlock(Pcm16({7}))});
    for (int i = 0; i < 4; ++i) {
        nested = DefineSprite(static_cast<uint16_t>(i + 10), 1,
                              Concat({nested, SoundStreamBlock(Pcm16({static_cast<int16_t>(i)}))}));
    }
    s.Put("gen_nested_sprites.swf", BuildSwf(Movie(nested)));
    s.Put("gen_sprite_no_end.swf",
          BuildSwf(Movie(Concat({DefineSprite(3, 1, SwfTag(1, {}), false), SwfTag(1, {})}))));
    s.Put(
        "gen_long_headers.swf",
        BuildSwf(Movie(Concat(
            {SwfTag(14, Concat({Bytes{1, 0, 0x22}, Bytes{4, 0, 0, 0}, Pcm16({1, 2, 3, 4})}), true),
             SwfTag(39, Concat({Bytes{1, 0, 1, 0}, SwfEndTag()}), true)}))));
    // Lies: a length past the real end, a short tag, a CWS that inflates short.
    SwfMovie lying = Movie(DefineSound(1, 0, 0, false, false, 4, Bytes(4, 1)));
    lying.lengthOverride = 0x7FFFFFFF;
    s.Put("gen_length_too_long.swf", BuildSwf(lying));
    lying.compressed = true;
    lying.lengthOverride = 5000;
    s.Put("gen_cws_short.swf", BuildSwf(lying));
    Bytes cut =
        BuildSwf(Movie(DefineSound(1, 1, 1, true, false, 100, AdpcmPacket(4, false, true, 99))));
    cut.resize(cut.size() - 20);
    s.Put("gen_truncated_tag.swf", cut);

    const std::string corpus = CorpusDir();
    if (!corpus.empty()) {
        for (const char* name : kCorpusSwf) {
            s.Copy(corpus + "/" + name, name);
        }
    }
    std::printf("swf: %d seeds\n", s.written);
}

// The ZWS target's input: a movie's file image as ZWS, without its "ZWS" signature.
Bytes ZwsInput(const Bytes& swf) {
    const Bytes zws = ToZws(swf);
    return Bytes(zws.begin() + 3, zws.end());
}

void ZwsSeeds(const fs::path& root, const Bytes& mp3Mono, const Bytes& nelly) {
    Seeds s = Folder(root, "zws");
    s.Put("gen_empty", ZwsInput(BuildSwf(Movie({}))));
    s.Put("gen_define_mp3",
          ZwsInput(BuildSwf(Movie(DefineSound(1, 2, 1, true, false, 1152, mp3Mono)))));
    s.Put("gen_nellymoser",
          ZwsInput(BuildSwf(Movie(Concat({DefineSound(1, 6, 2, true, false, 512, nelly),
                                          SoundStreamHead(6, 2, true, false, 512),
                                          SoundStreamBlock(nelly), SoundStreamBlock(nelly)})))));
    // Lies and damage: a length claim of 4 GiB, data cut short, broken data.
    SwfMovie lying = Movie(DefineSound(1, 0, 0, false, false, 64, Bytes(64, 1)));
    lying.lengthOverride = 0xFFFFFFFF;
    const Bytes whole = ZwsInput(BuildSwf(lying));
    s.Put("gen_length_4g", whole);
    s.Put("gen_cut", Bytes(whole.begin(), whole.begin() + whole.size() / 2));
    Bytes broken = whole;
    for (size_t i = broken.size() / 2; i < broken.size(); i += 3) {
        broken[i] ^= 0xA5;
    }
    s.Put("gen_broken", broken);
    const std::string corpus = CorpusDir();
    if (!corpus.empty()) {
        const Bytes lzma = ReadFileBytes(corpus + "/ruffle_lzma_nosound.swf");
        s.Put("ruffle_lzma_nosound", Bytes(lzma.begin() + 3, lzma.end()));
        s.Put("corpus_gnash_sound1", ZwsInput(ReadFileBytes(corpus + "/gnash_sound1.swf")));
    }
    std::printf("zws: %d seeds\n", s.written);
}

// The codec target's input: each packet as its flags byte, a 16-bit big-endian length and its
// bytes.
Bytes CodecInput(const std::vector<std::pair<uint8_t, Bytes>>& packets) {
    ByteWriter w;
    for (const auto& [flags, packet] : packets) {
        w.U8(flags).U8(static_cast<uint8_t>(packet.size() >> 8));
        w.U8(static_cast<uint8_t>(packet.size())).Append(packet);
    }
    return w.take();
}

// A video's audio tags as the codec target's packets (the flags byte apart from the data).
std::vector<std::pair<uint8_t, Bytes>> AudioTagsOf(const Bytes& flv) {
    std::vector<std::pair<uint8_t, Bytes>> tags;
    size_t pos = 13;
    while (pos + 11 <= flv.size()) {
        const size_t size = (flv[pos + 1] << 16) | (flv[pos + 2] << 8) | flv[pos + 3];
        if (flv[pos] == 8 && size > 0 && pos + 11 + size <= flv.size() && size <= 0xFFFF) {
            tags.emplace_back(flv[pos + 11],
                              Bytes(flv.begin() + pos + 12, flv.begin() + pos + 11 + size));
        }
        pos += 11 + size + 4;
    }
    return tags;
}

void CodecSeeds(const fs::path& root) {
    Seeds s = Folder(root, "codecs");
    for (const char* name : {"nelly8k", "nelly16k", "nelly22k", "speex16k", "speex16k_3fpp",
                             "aac22k_mono", "aac44k_stereo", "alaw8k", "mulaw8k"}) {
        auto tags = AudioTagsOf(ReadFileBytes(TestDataDir() + "/codecs/" + name + ".flv"));
        tags.resize(std::min<size_t>(tags.size(), 12));  // a few packets are enough to start
        s.Put(std::string("data_") + name, CodecInput(tags));
    }
    const auto aac = AudioTagsOf(ReadFileBytes(TestDataDir() + "/codecs/aac22k_mono.flv"));
    const auto nelly = AudioTagsOf(ReadFileBytes(TestDataDir() + "/codecs/nelly22k.flv"));
    // AAC without its sequence header, and with a garbage one.
    s.Put("gen_aac_no_config", CodecInput({aac.begin() + 1, aac.begin() + 4}));
    s.Put("gen_aac_garbage_config",
          CodecInput({{aac[0].first, Bytes{0, 0x00, 0x00, 0xFF}}, aac[1], aac[2]}));
    // Nellymoser packets that are no whole number of blocks; the format changing midway.
    s.Put("gen_nelly_odd_sizes",
          CodecInput({{nelly[0].first, Bytes(nelly[0].second.begin(), nelly[0].second.end() - 5)},
                      {nelly[1].first, Concat({nelly[1].second, Bytes(17, 0x33)})}}));
    s.Put("gen_format_changes",
          CodecInput(
              {nelly[0], {FlvAudioFlags(11, 2, true, false), Bytes(70, 0x5A)}, aac[0], nelly[1]}));
    s.Put("gen_speex_random", CodecInput({{FlvAudioFlags(11, 2, true, false), Noise(70, 3)},
                                          {FlvAudioFlags(11, 2, true, false), Noise(211, 4)}}));
    std::printf("codecs: %d seeds\n", s.written);
}

void FlvSeeds(const fs::path& root, const Bytes& mp3Mono, const Bytes& mp3Stereo) {
    Seeds s = Folder(root, "flv");
    s.Put("gen_header_only.flv", FlvBuilder().Build());
    s.Put("gen_mp3.flv", FlvBuilder()
                             .Script()
                             .Audio(FlvAudioFlags(2, 2, true, false), mp3Mono)
                             .Video()
                             .Audio(FlvAudioFlags(2, 2, true, false), {})
                             .Build());
    s.Put("gen_mp3_stereo_offset12.flv",
          FlvBuilder(12).Audio(FlvAudioFlags(2, 3, true, true), mp3Stereo).Build());
    for (unsigned width = 2; width <= 5; ++width) {
        for (int mode = 0; mode < 4; ++mode) {
            const bool stereo = mode & 1;
            const bool wide = mode & 2;
            s.Put(
                "gen_adpcm" + std::to_string(width) + (stereo ? "s" : "m") + (wide ? "16" : "8") +
                    ".flv",
                FlvBuilder()
                    .Audio(FlvAudioFlags(1, 1, wide, stereo), AdpcmPacket(width, stereo, wide, 120))
                    .Audio(FlvAudioFlags(1, 1, wide, stereo), AdpcmPacket(width, stereo, wide, 7))
                    .Build());
        }
    }
    s.Put("gen_pcm8.flv",
          FlvBuilder().Audio(FlvAudioFlags(0, 0, false, false), Bytes(64, 0x80)).Build());
    s.Put("gen_pcm16_then_mp3.flv", FlvBuilder()
                                        .Audio(FlvAudioFlags(0, 3, true, true), Pcm16({1, 2, 3, 4}))
                                        .Audio(FlvAudioFlags(2, 3, true, true), mp3Stereo)
                                        .Build());
    s.Put("gen_aac.flv",
          FlvBuilder().Audio(FlvAudioFlags(10, 3, true, true), Bytes(20, 0xAA)).Build());
    s.Put("gen_video_only.flv", FlvBuilder().Video().Video(3).Script(0).Build());
    Bytes cut = FlvBuilder()
                    .Audio(FlvAudioFlags(1, 2, true, false), AdpcmPacket(4, false, true, 300))
                    .Build();
    cut.resize(cut.size() - 30);
    s.Put("gen_truncated_tag.flv", cut);

    for (const char* name : {"mono22k.flv", "stereo44k.flv", "stereo11k_long.flv"}) {
        s.Copy(TestDataDir() + "/adpcm/" + name, std::string("data_") + name);
    }
    const std::string corpus = CorpusDir();
    if (!corpus.empty()) {
        for (const char* name : kCorpusFlv) {
            s.Copy(corpus + "/" + name, name);
        }
    }
    std::printf("flv: %d seeds\n", s.written);
}

// The ADPCM target's control block (see FuzzAdpcm.cpp) in front of a packet.
Bytes AdpcmInput(bool stereo, bool is16Bit, unsigned startBit, unsigned pieces, uint32_t count,
                 int8_t rangeDelta, const Bytes& packet) {
    ByteWriter w;
    w.U8((stereo ? 1 : 0) | (is16Bit ? 2 : 0) | (startBit << 2) | (pieces << 5))
        .U16(count)
        .U8(static_cast<uint8_t>(rangeDelta))
        .Append(packet);
    return w.take();
}

void AdpcmSeeds(const fs::path& root) {
    Seeds s = Folder(root, "adpcm");
    int n = 0;
    for (unsigned width = 2; width <= 5; ++width) {
        for (int mode = 0; mode < 4; ++mode) {
            const bool stereo = mode & 1;
            const bool wide = mode & 2;
            s.Put("gen_" + std::to_string(n), AdpcmInput(stereo, wide, 0, n % 8, 200, 0,
                                                         AdpcmPacket(width, stereo, wide, 199)));
            ++n;
        }
    }
    // Past a block boundary, a start inside a byte, a range past the data, a count past it.
    s.Put("gen_block_boundary",
          AdpcmInput(false, true, 0, 5, 4100, 1, AdpcmPacket(2, false, true, 4099)));
    s.Put("gen_start_bit", AdpcmInput(true, false, 5, 2, 60, -3,
                                      Bytes{0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0,
                                            0x0F, 0x1E, 0x2D}));
    s.Put("gen_range_past", AdpcmInput(true, true, 0, 7, 50, 100, AdpcmPacket(5, true, true, 10)));
    s.Put("gen_count_past",
          AdpcmInput(false, true, 0, 4, 16000, 0, AdpcmPacket(3, false, true, 10)));

    // Packets of ffmpeg's encoder (FLV audio tag bodies) and of the corpus movies.
    for (const char* name : {"mono22k", "stereo44k"}) {
        const Bytes flv = ReadFileBytes(TestDataDir() + "/adpcm/" + name + ".flv");
        size_t pos = flv.size() >= 9
                         ? ((flv[5] << 24) | (flv[6] << 16) | (flv[7] << 8) | flv[8]) + 4u
                         : flv.size();
        int tag = 0;
        while (pos + 11 <= flv.size()) {
            const size_t size = (flv[pos + 1] << 16) | (flv[pos + 2] << 8) | flv[pos + 3];
            if (flv[pos] == 8 && size > 1 && pos + 11 + size <= flv.size()) {
                const uint8_t flags = flv[pos + 11];
                const Bytes body(flv.begin() + pos + 12, flv.begin() + pos + 11 + size);
                s.Put(std::string("data_") + name + "_" + std::to_string(tag++),
                      AdpcmInput(flags & 1, (flags & 2) != 0, 0, 6, 4096, 0, body));
            }
            pos += 11 + size + 4;
        }
    }
    const std::string corpus = CorpusDir();
    if (!corpus.empty()) {
        for (const char* name : {"swfdec_adpcm-2.swf", "swfdec_adpcm-3.swf", "swfdec_adpcm-4.swf",
                                 "swfdec_adpcm-5.swf"}) {
            const Bytes swf = ReadFileBytes(corpus + "/" + name);
            CSwfReader reader;
            if (!reader.OpenMemory(swf.data(), swf.size(), false)) {
                continue;
            }
            std::vector<std::pair<size_t, size_t>> sounds;
            reader.SetTagVisitor([&](uint16_t code, size_t start, size_t end, size_t) {
                if (code == kSwfTagDefineSound && end - start > 7) {
                    sounds.emplace_back(start, end);
                }
            });
            reader.WalkTags();
            // The whole body buffer, so that the offsets of the visitor apply.
            const Bytes body(reader.Bytes(), reader.Bytes() + reader.DataSize());
            for (const auto& [start, end] : sounds) {
                const uint8_t flags = body[start + 2];
                const uint32_t count = body[start + 3] | (body[start + 4] << 8);
                s.Put(std::string("corpus_") + name,
                      AdpcmInput(flags & 1, (flags & 2) != 0, 0, 3, count, 0,
                                 Bytes(body.begin() + start + 7, body.begin() + end)));
            }
        }
    }
    std::printf("adpcm: %d seeds\n", s.written);
}

void WavSeeds(const fs::path& root) {
    Seeds s = Folder(root, "wav");
    WavSpec layout;
    layout.data = Pcm16({1, -1, 2, -2, 3, -3});
    s.Put("gen_stereo16.wav", BuildWav(layout));
    layout.channels = 1;
    layout.bitsPerSample = 8;
    layout.sampleRate = 11025;
    layout.data = Bytes{0x80, 0x81, 0x7F, 0x00, 0xFF};
    s.Put("gen_mono8.wav", BuildWav(layout));
    layout.channels = 2;
    layout.fmtSize = 18;
    layout.extraChunks = RiffChunk("fact", Bytes{4, 0, 0, 0});
    s.Put("gen_fact_fmt18.wav", BuildWav(layout));
    layout.extraChunks = RiffChunk("LIST", Bytes(6, 'x'));
    s.Put("gen_list_refused.wav", BuildWav(layout));
    layout = WavSpec{};
    layout.data = Pcm16({5, 6, 7});  // a frame and a half
    layout.dataSizeOverride = 0x7FFFFFFF;
    s.Put("gen_half_frame_lying_size.wav", BuildWav(layout));
    layout.formatTag = 3;
    s.Put("gen_float_refused.wav", BuildWav(layout));
    for (const char* name : kTestDataWav) {
        std::string flat = name;
        std::replace(flat.begin(), flat.end(), '/', '_');
        s.Copy(TestDataDir() + "/" + name, "data_" + flat);
    }
    const std::string corpus = CorpusDir();
    if (!corpus.empty()) {
        for (const char* name : kCorpusWav) {
            s.Copy(corpus + "/" + name, fs::path(name).filename().string());
        }
    }
    std::printf("wav: %d seeds\n", s.written);
}

void Mp3Seeds(const fs::path& root, const Bytes& mp3Mono, const Bytes& mp3Stereo) {
    Seeds s = Folder(root, "mp3");
    s.Put("gen_mono22k.mp3", mp3Mono);
    s.Put("gen_stereo44k.mp3", mp3Stereo);
    // An ID3v2 tag of 20 bytes, an album id block, junk, before the first frame.
    Bytes id3{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    id3.resize(30, 0);
    s.Put("gen_id3.mp3", Concat({id3, mp3Mono}));
    Bytes aid{'A', 'i', 'D', 1, 12, 0};
    aid.resize(12, 0x33);
    s.Put("gen_aid.mp3", Concat({aid, mp3Stereo}));
    s.Put("gen_junk.mp3",
          Concat({Bytes{0xFF, 0xE0, 0x00, 0x12, 0xFF, 0xFF, 0x00}, Bytes(300, 0x5A), mp3Mono}));
    Bytes cut = mp3Stereo;
    cut.resize(cut.size() / 2);
    s.Put("gen_cut.mp3", Concat({cut, Bytes(100, 0), mp3Mono}));  // another layout after it
    for (const char* name : kTestDataMp3) {
        std::string flat = name;
        std::replace(flat.begin(), flat.end(), '/', '_');
        s.Copy(TestDataDir() + "/" + name, "data_" + flat);
    }
    std::printf("mp3: %d seeds\n", s.written);
}

Bytes Format(uint16_t channels, uint32_t rate, uint16_t bits) {
    ByteWriter w;
    w.U16(channels).U32(rate).U16(bits);
    return w.take();
}

void SampleConverterSeeds(const fs::path& root) {
    Seeds s = Folder(root, "sampleconverter");
    Bytes ramp(256);
    for (int i = 0; i < 256; ++i) {
        ramp[i] = static_cast<uint8_t>(i);
    }
    s.Put("gen_widen", Concat({Format(2, 22050, 8), Format(2, 22050, 16), ramp}));
    s.Put("gen_other_rate", Concat({Format(1, 22050, 8), Format(1, 44100, 16), ramp}));
    s.Put("gen_other_bits", Concat({Format(1, 5512, 16), Format(1, 5512, 8), Bytes(10, 0)}));
    std::printf("sampleconverter: %d seeds\n", s.written);
}

// The wrapper target's input: a byte choosing the kind (0 movie, 1 projector, 2 archive), then
// the file.
Bytes WrapperInput(uint8_t kind, const Bytes& file) {
    return Concat({Bytes{kind}, file});
}

void WrapperSeeds(const fs::path& root, const Bytes& mp3Mono) {
    Seeds s = Folder(root, "wrappers");
    const Bytes inner = BuildSwf(Movie(DefineSound(1, 2, 1, true, false, 1152, mp3Mono), true));
    const Bytes pcm = BuildSwf(Movie(DefineSound(1, 3, 1, true, false, 64, Bytes(128, 0x10))));
    ByteWriter binary;
    binary.U16(5).U32(0).Append(inner);
    const Bytes host = BuildSwf(Movie(SwfTag(87, binary.bytes(), true)));
    s.Put("gen_embedded", WrapperInput(0, host));
    ByteWriter nested;
    nested.U16(6).U32(0).Append(host);
    s.Put("gen_embedded_twice", WrapperInput(0, BuildSwf(Movie(SwfTag(87, nested.bytes(), true)))));
    ByteWriter footer;
    footer.U8(0x56).U8(0x34).U8(0x12).U8(0xFA).U32(static_cast<uint32_t>(pcm.size()));
    s.Put("gen_projector", WrapperInput(1, Concat({Bytes(200, 0x90), pcm, footer.bytes()})));
    s.Put("gen_projector_no_footer", WrapperInput(1, Concat({Bytes(200, 0x90), inner})));
    s.Put("gen_zip", WrapperInput(2, ZipOf({{"a.swf", pcm, {}},
                                            {"sub/b.swf", host, {}},
                                            {"../c.swf", inner, {}},
                                            {"link.swf", {}, "../x"}})));
    s.Put("gen_zip_overlapping", WrapperInput(2, OverlappingZip(pcm, 4)));
    std::printf("wrappers: %d seeds\n", s.written);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FUZZ_CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const Bytes mp3Mono = Mp3Of(1152 * 3, 1, 22050);
    const Bytes mp3Stereo = Mp3Of(1152 * 2, 2, 44100);
    if (mp3Mono.empty() || mp3Stereo.empty()) {
        std::fprintf(stderr, "the encoder made no MP3 data\n");
        return 1;
    }
    if (CorpusDir().empty()) {
        std::fprintf(stderr, "note: the shared corpus is not here; only built seeds are written\n");
    }
    SwfSeeds(root, mp3Mono, mp3Stereo);
    FlvSeeds(root, mp3Mono, mp3Stereo);
    AdpcmSeeds(root);
    WavSeeds(root);
    Mp3Seeds(root, mp3Mono, mp3Stereo);
    SampleConverterSeeds(root);
    const auto nelly = ReadFileBytes(TestDataDir() + "/codecs/nelly22k.flv");
    ZwsSeeds(root, mp3Mono, Bytes(nelly.begin() + 25, nelly.begin() + 25 + 256));
    CodecSeeds(root);
    WrapperSeeds(root, mp3Mono);
    return 0;
}
