#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <sys/stat.h>

#include "audio/WavFile.h"
#include "engine/File.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"

namespace kelvora::fuzz {

ScratchFolder& ScratchFolder::Get() {
    static ScratchFolder folder;
    return folder;
}

namespace {

// Where the scratch folder goes: a memory file system when there is one, since a disk file
// system writes back every replaced file (thousands a second here); else $TMPDIR, else /tmp.
std::string ScratchBase() {
    if (::access("/dev/shm", W_OK | X_OK) == 0) {
        return "/dev/shm";
    }
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

}  // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = ScratchBase() + "/kelvora-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        Fail("cannot make a scratch folder");
    }
    m_path = buf.data();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void ScratchFolder::Clear() const {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(m_path, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code removeError;
        std::filesystem::remove_all(it->path(), removeError);
    }
}

std::string ScratchFolder::Write(const std::string& name, const uint8_t* data, size_t size) const {
    const std::string path = File(name);
    CFile file;
    if (!file.CreateAlways(path) || !file.Write(data, size) || !file.Close()) {
        return {};
    }
    return path;
}

void Fail(const char* what) {
    std::fprintf(stderr, "kelvora fuzz check failed: %s\n", what);
    std::abort();
}

void WalkMovie(const uint8_t* data, size_t size, const ConversionOptions& options) {
    const ScratchFolder& scratch = ScratchFolder::Get();
    {
        CSwfReader reader;
        reader.SetOptions(options);
        if (reader.OpenMemory(data, size, true)) {
            KELVORA_FUZZ_CHECK(reader.DataSize() == 0);  // header-only keeps no body
            KELVORA_FUZZ_CHECK(reader.FrameCount() >= 0 && reader.FrameCount() <= 0xFFFF);
        }
        if (reader.OpenMemory(data, size, false, scratch.File("movie"))) {
            // Only inflation adds bytes.
            KELVORA_FUZZ_CHECK(reader.DataSize() <= size ||
                               (size >= 1 && (data[0] == 'C' || data[0] == 'Z')));
            reader.WalkTags();
            // What a listing tells, then what a conversion writes.
            const SwfPlan plan = PlanSwf(reader.Records(), reader.Bytes(), reader.Header(), options,
                                         true, scratch.File("movie"));
            KELVORA_FUZZ_CHECK(plan.sounds.size() == reader.Records().sounds.size());
            KELVORA_FUZZ_CHECK(plan.list.sounds.size() <= plan.sounds.size());
            reader.WriteElements();
            // Every element listed is a whole file of its own; WAV elements read back.
            for (const OutputItem& element : reader.Elements()) {
                struct stat st {};
                KELVORA_FUZZ_CHECK(::stat(element.path.c_str(), &st) == 0);
                if (!element.isMp3) {
                    CWavReader wav;
                    KELVORA_FUZZ_CHECK(wav.Open(element.path));
                    KELVORA_FUZZ_CHECK(wav.Channels() == element.channels);
                    KELVORA_FUZZ_CHECK(wav.BitsPerSample() == element.bitsPerSample);
                    KELVORA_FUZZ_CHECK(wav.SampleRate() == element.sampleRate);
                }
            }
        }
    }  // the reader is gone: no element file is open any more
    scratch.Clear();
}

void WalkVideo(const uint8_t* data, size_t size, const ConversionOptions& options) {
    const ScratchFolder& scratch = ScratchFolder::Get();
    {
        CFlvReader reader;
        reader.SetOptions(options);
        if (reader.OpenMemory(data, size, scratch.File("video"))) {
            reader.WalkTags();
            if (!reader.OutputPath().empty() && !reader.OutputIsMp3()) {
                CWavReader wav;
                KELVORA_FUZZ_CHECK(wav.Open(reader.OutputPath()));
                KELVORA_FUZZ_CHECK(wav.Channels() == reader.Channels());
                KELVORA_FUZZ_CHECK(wav.BitsPerSample() == reader.BitsPerSample());
            }
        }
    }
    scratch.Clear();
}

}  // namespace kelvora::fuzz
