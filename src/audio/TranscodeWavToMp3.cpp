#include "audio/TranscodeWavToMp3.h"

#include <errno.h>
#include <sys/stat.h>

#include <algorithm>

#include "audio/CMp3Encoder.h"
#include "audio/CSampleConverter.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/PathUtil.h"

namespace kelvora {

namespace {

// Removes a partly written MP3. Only a regular file is ours to remove: a device given as the
// target (/dev/null, /dev/full) stays.
void RemovePartialOutput(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        RemoveFile(path);
    }
}

}  // namespace

bool TranscodeWavToMp3(const std::string& wavPath, const std::string& mp3Path, uint32_t* framesRead,
                       uint32_t* mp3SampleRate, Failure* why, CFile claimed) {
    Failure ignored = Failure::None;
    Failure& failure = why ? *why : ignored;
    failure = Failure::EncoderFailed;
    CWavReader reader;
    if (!reader.Open(wavPath)) {
        return false;
    }
    // Creating the MP3 would truncate the very file being read.
    if (SamePath(wavPath, mp3Path)) {
        return false;
    }
    CMp3Encoder encoder;
    if (!encoder.Open(mp3Path, std::move(claimed))) {
        failure = WriteFailure(errno);
        return false;
    }
    const bool mono = reader.Channels() == 1;
    encoder.SetChannels(reader.Channels());
    encoder.SetInputRate(reader.SampleRate());
    encoder.SetWriteVbrTag(false);
    if (mono) {
        encoder.SetMode(CMp3Encoder::kModeMono);
    }

    bool ok = encoder.Initialise();
    uint64_t total = 0;
    if (ok) {
        int16_t left[kChunkFrames];
        int16_t right[kChunkFrames];
        const bool wide = reader.BitsPerSample() == 16;
        uint8_t left8[kChunkFrames];
        uint8_t right8[kChunkFrames];
        CSampleConverter converter;
        if (!wide) {
            const SampleFormat format{reader.Channels(), reader.SampleRate(), 8};
            converter.Configure(format, SampleFormat{format.channels, format.sampleRate, 16});
        }
        for (;;) {
            uint32_t count = 0;
            bool endOfFile = false;
            if (wide) {
                reader.ReadChunk(left, right, count, endOfFile);
            } else {
                reader.ReadChunk(left8, right8, count, endOfFile);
                converter.Convert(left8, left, count);
                if (!mono) {
                    converter.Convert(right8, right, count);
                }
            }
            if (count == 0) {
                break;
            }
            total += count;
            if (!encoder.Write(left, mono ? nullptr : right, count)) {
                ok = false;
                break;
            }
        }
    }
    // The library's choice can only be asked while the encoder is alive.
    const uint32_t outputRate = encoder.OutputRate();
    // A full disk may only show when the last buffered bytes reach the file.
    ok = encoder.Close() && ok;
    reader.Close();
    if (!ok) {
        if (encoder.WriteError() != 0) {
            failure = WriteFailure(encoder.WriteError());
        }
        RemovePartialOutput(mp3Path);
        return false;
    }
    failure = Failure::None;
    if (framesRead) {
        *framesRead = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
    }
    if (mp3SampleRate) {
        *mp3SampleRate = outputRate;
    }
    return true;
}

}  // namespace kelvora
