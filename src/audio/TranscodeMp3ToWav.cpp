#include "audio/TranscodeMp3ToWav.h"

#include <errno.h>
#include <sys/stat.h>

#include <algorithm>

#include "audio/CMp3Decoder.h"
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

bool TranscodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath, Failure* why,
                       const Mp3ToWavShape* shape, CFile claimed) {
    Failure ignored = Failure::None;
    Failure& failure = why ? *why : ignored;
    failure = Failure::DecoderFailed;
    CMp3Decoder decoder;
    if (!decoder.Open(mp3Path)) {
        return false;
    }
    CWavWriter writer;
    // A failed Open created nothing: the path may be someone's file that could not be opened.
    if (!writer.Open(wavPath, decoder.Channels() == 2, 16, decoder.SampleRate(),
                     std::move(claimed))) {
        failure = WriteFailure(errno);
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
    const auto writeSilences = [&](uint64_t upTo) {
        static const int16_t zeros[kChunkFrames] = {};
        for (; silence < s.silences.size() && s.silences[silence].at <= upTo; ++silence) {
            for (uint64_t left = s.silences[silence].frames; left > 0;) {
                const auto n = static_cast<uint32_t>(std::min<uint64_t>(left, kChunkFrames));
                writer.Write(zeros, zeros, n);
                left -= n;
            }
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
            writer.Write(left + i, right + i, static_cast<uint32_t>(n));
            kept += n;
            i += n;
        }
    }
    writeSilences(UINT64_MAX);  // silences after the last sound
    // A sound of a known length lasts that long: what the decoder gave short of it is silence.
    if (s.keep != UINT64_MAX) {
        static const int16_t zeros[kChunkFrames] = {};
        while (kept < s.keep) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(s.keep - kept, kChunkFrames));
            writer.Write(zeros, zeros, n);
            kept += n;
        }
    }
    decoder.Close();
    if (!writer.Close()) {
        failure = WriteFailure(writer.WriteError());
        RemoveFailedOutput(wavPath);
        return false;
    }
    failure = Failure::None;
    return true;
}

}  // namespace kelvora
