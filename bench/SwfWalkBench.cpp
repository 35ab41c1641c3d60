// The tag walk over movies of nothing but tiny tags, at growing tag counts: the time must grow
// linearly with the count (the reported complexity). Half the tags are unknown ones, half empty
// blocks of an ADPCM stream whose head claims the most samples a block can have.
#include <benchmark/benchmark.h>

#include "support/Bytes.h"
#include "support/SwfBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

void WalkTinyTags(benchmark::State& state) {
    const size_t tags = static_cast<size_t>(state.range(0));
    test::ByteWriter w;
    w.Append(test::SoundStreamHead(1, 3, true, true, 0xFFFF));
    for (size_t i = 0; i < tags / 2; ++i) {
        w.U16(1u << 6).U16(19u << 6);  // an unknown tag and an empty stream block
    }
    test::SwfMovie movie;
    movie.tags = w.take();
    const test::Bytes file = test::BuildSwf(movie);
    test::TempDir dir;
    for (auto _ : state) {
        CSwfReader reader;
        reader.OpenMemory(file.data(), file.size(), false, dir.File("movie"));
        reader.WalkTags(false);
        reader.CloseStream();
        benchmark::DoNotOptimize(reader.Elements().size());
    }
    state.SetComplexityN(state.range(0));
    state.counters["tags/s"] = benchmark::Counter(static_cast<double>(tags),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(WalkTinyTags)
    ->RangeMultiplier(4)
    ->Range(1 << 16, 1 << 22)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace kelvora
