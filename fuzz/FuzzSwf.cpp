// The SWF reader over a file image: the header-only read of the source list, then the full read
// with the tag walk and the sound catalogue writing its element files into the scratch folder.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/WavFile.h"
#include "swf/CSwfReader.h"

using namespace kelvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFolder& scratch = fuzz::ScratchFolder::Get();
    {
        CSwfReader reader;
        if (reader.OpenMemory(data, size, true)) {
            KELVORA_FUZZ_CHECK(reader.DataSize() == 0);  // header-only keeps no body
            KELVORA_FUZZ_CHECK(reader.FrameCount() >= 0 && reader.FrameCount() <= 0xFFFF);
        }
        if (reader.OpenMemory(data, size, false, scratch.File("movie"))) {
            KELVORA_FUZZ_CHECK(reader.DataSize() <= size ||
                               (size >= 1 && data[0] == 'C'));  // only inflation adds bytes
            reader.WalkTags(false);
            reader.CloseStream();  // the main timeline's last stream, as a conversion does
            // Every element listed is a whole file of its own; WAV elements read back.
            for (const OutputItem& element : reader.Elements()) {
                struct stat st {};
                KELVORA_FUZZ_CHECK(::stat(element.path.c_str(), &st) == 0);
                if (!element.isMp3) {
                    CWavReader wav;
                    KELVORA_FUZZ_CHECK(wav.Open(element.path));
                    KELVORA_FUZZ_CHECK(wav.Channels() == element.channels);
                    KELVORA_FUZZ_CHECK(wav.BitsPerSample() == element.bitsPerSample);
                }
            }
        }
    }  // the reader is gone: no element file is open any more
    scratch.Clear();
    return 0;
}
