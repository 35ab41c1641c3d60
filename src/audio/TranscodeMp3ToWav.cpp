#include "audio/TranscodeMp3ToWav.h"

#include <errno.h>
#include <sys/stat.h>

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

bool TranscodeMp3ToWav(const std::string& mp3Path, const std::string& wavPath, Failure* why) {
    Failure ignored = Failure::None;
    Failure& failure = why ? *why : ignored;
    failure = Failure::DecoderFailed;
    CMp3Decoder decoder;
    if (!decoder.Open(mp3Path)) {
        return false;
    }
    CWavWriter writer;
    // A failed Open created nothing: the path may be someone's file that could not be opened.
    if (!writer.Open(wavPath, decoder.Channels() == 2, 16, decoder.SampleRate())) {
        failure = WriteFailure(errno);
        return false;
    }
    int16_t left[kChunkFrames];
    int16_t right[kChunkFrames];
    bool endOfFile = false;
    uint32_t count = 0;
    while (!endOfFile && decoder.ReadChunk(left, right, count, endOfFile)) {
        writer.Write(left, right, count);
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
