// Each sound in its own coding: FLAC holds the WAV target's samples, AAC and Speex packets are
// copied as they are, MP3 copies play exactly their sound's length, and every file is tagged.
#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "audio/CCodecDecoder.h"
#include "cli/Cli.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "support/AudioFixtures.h"
#include "support/Bytes.h"
#include "support/Corpus.h"
#include "support/FlvBuilder.h"
#include "support/SwfBuilder.h"

namespace kelvora {
namespace {

using namespace test;

std::string Convert(const std::string& path, const std::string& target) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"-j", "1", "--all-formats", "--to", target, path}, out, err), kExitOk)
        << err.str();
    return err.str();
}

// A file's packets and tags as libavformat reads them, and (`decode`) its samples as ffmpeg's
// own decoders give them, the start and end its container says to leave out already left out.
struct Demuxed {
    std::vector<Bytes> packets;
    std::map<std::string, std::string> tags;
    uint64_t decodedFrames = 0;
};

Demuxed Demux(const std::string& path, bool decode) {
    Demuxed d;
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(in, nullptr) < 0) {
        ADD_FAILURE() << path;
        return d;
    }
    for (AVDictionary* dict : {in->metadata, in->streams[0]->metadata}) {
        for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX));) {
            d.tags[e->key] = e->value;
        }
    }
    AVCodecContext* codec = nullptr;
    if (decode) {
        codec = avcodec_alloc_context3(avcodec_find_decoder(in->streams[0]->codecpar->codec_id));
        avcodec_parameters_to_context(codec, in->streams[0]->codecpar);
        avcodec_open2(codec, nullptr, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto drain = [&] {
        while (avcodec_receive_frame(codec, frame) == 0) {
            d.decodedFrames += static_cast<uint64_t>(frame->nb_samples);
        }
    };
    while (av_read_frame(in, packet) >= 0) {
        d.packets.emplace_back(packet->data, packet->data + packet->size);
        if (codec) {
            avcodec_send_packet(codec, packet);
            drain();
        }
        av_packet_unref(packet);
    }
    if (codec) {
        avcodec_send_packet(codec, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&in);
    return d;
}

// A FLAC file's samples and tags, read back with libFLAC.
struct Flac {
    std::vector<int32_t> samples;  // interleaved
    std::map<std::string, std::string> tags;
};

Flac ReadFlac(const std::string& path) {
    Flac flac;
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    const auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                          const FLAC__int32* const buffer[],
                          void* data) -> FLAC__StreamDecoderWriteStatus {
        auto* samples = static_cast<std::vector<int32_t>*>(data);
        for (uint32_t i = 0; i < frame->header.blocksize; ++i) {
            for (uint32_t c = 0; c < frame->header.channels; ++c) {
                samples->push_back(buffer[c][i]);
            }
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    };
    const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {};
    EXPECT_EQ(FLAC__stream_decoder_init_file(decoder, path.c_str(), write, nullptr, error,
                                             &flac.samples),
              FLAC__STREAM_DECODER_INIT_STATUS_OK);
    FLAC__stream_decoder_process_until_end_of_stream(decoder);
    FLAC__stream_decoder_delete(decoder);
    FLAC__StreamMetadata* tags = nullptr;
    if (FLAC__metadata_get_tags(path.c_str(), &tags)) {
        for (uint32_t i = 0; i < tags->data.vorbis_comment.num_comments; ++i) {
            const std::string entry(
                reinterpret_cast<const char*>(tags->data.vorbis_comment.comments[i].entry));
            flac.tags[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        }
        FLAC__metadata_object_delete(tags);
    }
    return flac;
}

TEST(OwnCoding, FlacHoldsTheWavTargetsSamplesAndCopiesKeepTheirPackets) {
    // FLAC: a video's ADPCM track and a movie's 8-bit stereo PCM give the WAV target's samples.
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("talk.flv"),
                               ReadFileBytes(TestDataDir() + "/adpcm/stereo11k_long.flv")));
    Bytes pcm8(3000);
    for (size_t i = 0; i < pcm8.size(); ++i) {
        pcm8[i] = static_cast<uint8_t>(i * 7);
    }
    SwfMovie movie;
    movie.tags = Concat({DefineSound(4, 0, 1, false, true, 1500, pcm8), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("clip.swf"), BuildSwf(movie)));
    for (const char* name : {"talk", "clip"}) {
        const std::string source = dir.File(name) + (name[0] == 't' ? ".flv" : ".swf");
        Convert(source, "wav");
        Convert(source, "flac");
        const Bytes wav = ReadFileBytes(dir.File(name) + ".wav");
        const Flac flac = ReadFlac(dir.File(name) + ".flac");
        const bool wide = wav[34] == 16;
        ASSERT_EQ(flac.samples.size() * (wide ? 2 : 1), wav.size() - 44) << name;
        for (size_t i = 0; i < flac.samples.size(); ++i) {
            const int32_t held = wide ? static_cast<int16_t>(wav[44 + 2 * i] | wav[45 + 2 * i] << 8)
                                      : wav[44 + i] - 128;
            ASSERT_EQ(flac.samples[i], held) << name << " " << i;
        }
        EXPECT_EQ(flac.tags.at("TITLE"), name);
        EXPECT_EQ(flac.tags.at("ALBUM"), FileNamePart(source));
    }

    // AAC into MP4 and Speex into Ogg: the video's packets as they are (what a copy with ffmpeg
    // gives); the Speex decodes as the WAV target's sound.
    for (const char* name : {"aac44k_stereo", "speex16k_3fpp"}) {
        const std::string source = dir.File(std::string(name) + ".flv");
        ASSERT_TRUE(WriteFileBytes(source, ReadFileBytes(TestDataDir() + "/codecs/" + name + ".flv")));
        const bool aac = name[0] == 'a';
        Convert(source, "original");
        const Demuxed copied = Demux(dir.File(name) + (aac ? ".m4a" : ".ogg"), false);
        const FlvAudio audio = ReadFlvAudio(ReadFileBytes(source));
        EXPECT_EQ(copied.packets, audio.packets) << name;
        EXPECT_EQ(copied.tags.at("title"), name);
        EXPECT_EQ(copied.tags.at("album"), FileNamePart(source));
        if (!aac) {
            Convert(source, "wav");
            CCodecDecoder decoder;
            ASSERT_TRUE(decoder.Open(kFormatSpeex, 16000, 1));
            Bytes decoded;
            const DecodedSink take = [&](const int16_t* s, uint32_t frames, uint32_t, uint16_t) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(s);
                decoded.insert(decoded.end(), bytes, bytes + frames * 2);
                return true;
            };
            for (const Bytes& packet : copied.packets) {
                decoder.Decode(packet.data(), packet.size(), take);
            }
            decoder.Flush(take);
            const Bytes wav = ReadFileBytes(dir.File(name) + ".wav");
            EXPECT_TRUE(decoded == Bytes(wav.begin() + 44, wav.end()));
        }
    }
}

TEST(OwnCoding, AnMp3CopyPlaysExactlyItsSoundAndWearsItsTags) {
    // A tone encoded by LAME (576 sample frames of latency, SeekSamples), of which the tag says
    // 30000 sample frames are the sound: behind its Info frame the copy plays, in ffmpeg,
    // exactly those 30000.
    TempDir dir;
    const Bytes mp3 = Mp3Of(30000, 1, 44100);
    SwfMovie movie;
    movie.tags = Concat({LinkageTag(56, {{1, "sndHit"}}),
                         DefineSound(1, 2, 3, true, false, 30000, mp3, 576), SwfEndTag()});
    ASSERT_TRUE(WriteFileBytes(dir.File("game.swf"), BuildSwf(movie)));
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"-j", "1", "--to", "original", "--names", "linkage", dir.File("game.swf")},
                     out, err),
              kExitOk);
    const Demuxed played = Demux(dir.File("game_sndHit.mp3"), true);
    EXPECT_EQ(played.decodedFrames, 30000u);
    EXPECT_EQ(played.tags.at("title"), "sndHit");
    EXPECT_EQ(played.tags.at("album"), "game.swf");
}

}  // namespace
}  // namespace kelvora
