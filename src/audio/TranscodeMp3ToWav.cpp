#include "audio/TranscodeMp3ToWav.h"

#include <errno.h>
#include <sys/stat.h>

#include <algorithm>

#include "audio/CMp3Decoder.h"
#include "audio/PcmSink.h"
#include "audio/WavFile.h"
#include "engine/File.h"

namespace kelvora {

namespace {

// Removes what a failed transcoding left at `path`: a file or a link to one, never a device
// or a folder the path happens to name.
void RemoveFailedOutput(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
        RemoveFile(path);
    }
}

}  // namespace

bool DecodeMp3Into(const std::string& mp3Path, CPcmSink& sink, Failure* why,
                   const Mp3ToWavShape* shape) {
    Failure ignored = Failure::None;
    Failure& failure = why ? *why : ignored;
    failure = Failure::DecoderFailed;
    CMp3Decoder decoder;
    if (!decoder.Open(mp3Path)) {
        return false;
    }
    if (!sink.Start(decoder.Channels() == 2, 16, decoder.SampleRate())) {
        failure = WriteFailure(sink.Error());
        return false;
    }
    int16_t left[kChunkFrames];
    int16_t right[kChunkFrames];
    bool endOfFile = false;
    uint32_t count = 0;
    const Mp3ToWavShape plain;
    const Mp3ToWavShape& s = shape ? *shape : plain;
    uint64_t decoded = 0;  // sample frames the decoder gave
    uint64_t kept = 0;     // of them, written
    size_t silence = 0;    // the next silence to insert
    static const int16_t zeros[kChunkFrames] = {};
    const auto writeSilence = [&](uint64_t frames) {
        for (uint64_t left = frames; left > 0;) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(left, kChunkFrames));
            sink.Write(zeros, zeros, n);
            left -= n;
        }
    };
    const auto writeSilences = [&](uint64_t upTo) {
        for (; silence < s.silences.size() && s.silences[silence].at <= upTo; ++silence) {
            writeSilence(s.silences[silence].frames);
        }
    };
    while (!endOfFile && kept < s.keep && decoder.ReadChunk(left, right, count, endOfFile)) {
        // The part of this chunk past the skipped start, within the kept length.
        const uint64_t from = decoded < s.skip ? std::min<uint64_t>(s.skip - decoded, count) : 0;
        decoded += count;
        for (uint64_t i = from; i < count && kept < s.keep;) {
            writeSilences(kept);
            // Up to the next silence or the end of what is kept.
            uint64_t n = std::min<uint64_t>(count - i, s.keep - kept);
            if (silence < s.silences.size()) {
                n = std::min<uint64_t>(n, s.silences[silence].at - kept);
            }
            sink.Write(left + i, right + i, static_cast<uint32_t>(n));
            kept += n;
            i += n;
        }
    }
    writeSilences(UINT64_MAX);  // silences after the last sound
    // A sound of a known length lasts that long: what the decoder gave short of it is silence.
    if (s.keep != UINT64_MAX && kept < s.keep) {
        writeSilence(s.keep - kept);
    }
    decoder.Close();
    if (!sink.Finish()) {
        failure = WriteFailure(sink.Error());
        return false;
    }
    failure = Failure::None;
    return true;
}

bool TranscodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath, Failure* why,
                       const Mp3ToWavShape* shape, CFile claimed) {
    CWavSink sink(wavPath, std::move(claimed));
    if (DecodeMp3Into(mp3Path, sink, why, shape)) {
        return true;
    }
    // A sink that never started created nothing: the path may be someone's file.
    if (sink.Started()) {
        RemoveFailedOutput(wavPath);
    }
    return false;
}

}  // namespace kelvora
