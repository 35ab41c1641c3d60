// The FLV reader over a file image: the tag walk with the audio handler writing the track into
// the scratch folder. A WAV track it writes must read back.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/WavFile.h"
#include "flv/CFlvReader.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFolder& scratch = fuzz::ScratchFolder::Get();
    {
        CFlvReader reader;
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
    return 0;
}
