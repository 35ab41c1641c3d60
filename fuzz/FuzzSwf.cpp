// The SWF reader over a file image: the header-only read of the source list, then the full read
// with the tag walk and the sound catalogue writing its element files into the scratch folder.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvora::fuzz::WalkMovie(data, size, {});
    return 0;
}
