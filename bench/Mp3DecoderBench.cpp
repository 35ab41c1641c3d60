// MP3 decoding: the header scan over input without a frame, and decoding with junk after the
// stream, at growing sizes. Both must grow linearly with the size (the reported complexity).
#include <benchmark/benchmark.h>

#include <string>

#include "audio/CMp3Decoder.h"
#include "audio/TranscodeMp3ToWav.h"
#include "support/Bytes.h"
#include "support/Corpus.h"

namespace kelvora {
namespace {

test::Bytes Repeated(const test::Bytes& unit, size_t size) {
    test::Bytes out;
    out.reserve(size + unit.size());
    while (out.size() < size) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    out.resize(size);
    return out;
}

// Syncs that the library rejects, every 64 bytes: the worst case for a scan that hands the
// library each one.
void ScanJunk(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.File("junk.mp3");
    test::Bytes unit(64, 0);
    unit[0] = 0xFF;
    unit[1] = 0xE0;
    test::WriteFileBytes(path, Repeated(unit, static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        CMp3Decoder decoder;
        benchmark::DoNotOptimize(decoder.Open(path));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ScanJunk)->RangeMultiplier(4)->Range(64 << 10, 16 << 20)->Complexity(benchmark::oN);

// A short stream followed by zeros: the library alone would search all of them on every call.
void TranscodeWithTrailingJunk(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.File("in.mp3");
    const test::Bytes stream = test::ReadFileBytes(test::TestDataDir() + "/mp3/s44_128_notag.mp3");
    if (stream.empty()) {
        state.SkipWithError("test vector missing");
        return;
    }
    test::WriteFileBytes(
        path, test::Concat({stream, test::Bytes(static_cast<size_t>(state.range(0)), 0)}));
    for (auto _ : state) {
        benchmark::DoNotOptimize(TranscodeMp3ToWav(path, dir.File("out.wav")));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(TranscodeWithTrailingJunk)
    ->RangeMultiplier(4)
    ->Range(64 << 10, 16 << 20)
    ->Complexity(benchmark::oN);

// Ordinary decoding speed on a clean stream (the vector repeated to about 1 MB).
void TranscodeStream(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.File("in.mp3");
    const test::Bytes stream = test::ReadFileBytes(test::TestDataDir() + "/mp3/s44_128_notag.mp3");
    if (stream.empty()) {
        state.SkipWithError("test vector missing");
        return;
    }
    test::Bytes file;
    while (file.size() < (1u << 20)) {
        file.insert(file.end(), stream.begin(), stream.end());
    }
    test::WriteFileBytes(path, file);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TranscodeMp3ToWav(path, dir.File("out.wav")));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(TranscodeStream)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora
