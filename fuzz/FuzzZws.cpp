// LZMA-compressed movies with the every-format option: the input is what follows the "ZWS"
// signature (version, uncompressed length, compressed length, LZMA properties, LZMA data), so
// every input exercises the header and the inflation; the movie is then read and walked as any.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> movie = {'Z', 'W', 'S'};
    movie.insert(movie.end(), data, data + size);
    kelvora::fuzz::WalkMovie(movie.data(), movie.size(), {.allFormats = true});
    return 0;
}
