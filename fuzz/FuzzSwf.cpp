// The SWF reader over a file image: the header-only read of the source list, then the full read
// with the tag walk and the sound catalogue writing its element files into the scratch folder;
// once plainly, once with linkage names and timing kept.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvora::fuzz::WalkMovie(data, size, {});
    kelvora::fuzz::WalkMovie(data, size, {.linkageNames = true, .keepTiming = true});
    return 0;
}
