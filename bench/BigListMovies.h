#pragma once

#include "support/Bytes.h"

namespace kelvora::bench {

// How many movies the big-list benchmarks add.
constexpr int kBigListFiles = 10000;

// kBigListFiles small movies in 100 folders, with frame counts, rates and sizes that differ so
// that every column sorts; made once a process.
const test::TempDir& BigListMovies();

}  // namespace kelvora::bench
