// The FLV reader over a file image: the tag walk with the audio handler writing the track into
// the scratch folder. A WAV track it writes must read back.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvora::fuzz::WalkVideo(data, size, {});
    return 0;
}
