// The tag walk: over movies of nothing but tiny tags, at growing tag counts: the time must grow
// linearly with the count (the reported complexity). Half the tags are unknown ones, half empty
// blocks of an ADPCM stream whose head claims the most samples a block can have.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/SoundInventory.h"
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
        reader.WalkTags();
        reader.WriteElements();
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

// A movie that is mostly sound: a PCM stream of `bytes` in blocks of 1/12 s, at `path`.
void WriteSoundMovie(const std::string& path, size_t bytes) {
    test::SwfMovie movie;
    movie.tags = test::PcmStream(test::Bytes(bytes, 0x11));
    test::WriteFileBytes(path, test::BuildSwf(movie));
}

// The walk of such a movie, its stream copied to its WAV file. Reported in MB of movie a second.
void WalkSoundMovie(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
    test::TempDir dir;
    const std::string path = dir.File("movie.swf");
    WriteSoundMovie(path, bytes);
    for (auto _ : state) {
        CSwfReader reader;
        benchmark::DoNotOptimize(reader.ExtractElements(path));
        state.PauseTiming();
        for (const OutputItem& e : reader.Elements()) {
            std::remove(e.path.c_str());
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(WalkSoundMovie)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// Listing the same movie's sounds: the walk alone, nothing written. Reported in MB a second.
void ListSoundMovie(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
    test::TempDir dir;
    const std::string path = dir.File("movie.swf");
    WriteSoundMovie(path, bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ListSounds(path, {}, true).sounds.size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(ListSoundMovie)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// What the source list does for each file added: the header of a movie, plain and compressed.
void ReadHeaders(benchmark::State& state) {
    const bool compressed = state.range(0) != 0;
    test::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 100; ++i) {
        test::SwfMovie movie;
        movie.compressed = compressed;
        movie.tags =
            test::Concat({test::SwfTag(1, test::Bytes(64 * 1024, 0x22)), test::SwfEndTag()});
        paths.push_back(dir.File("m" + std::to_string(i) + ".swf"));
        test::WriteFileBytes(paths.back(), test::BuildSwf(movie));
    }
    for (auto _ : state) {
        for (const std::string& p : paths) {
            CSwfReader reader;
            SwfMovieInfo info;
            benchmark::DoNotOptimize(reader.ReadInfo(p, &info));
        }
    }
    state.counters["headers/s"] = benchmark::Counter(static_cast<double>(paths.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(ReadHeaders)->Arg(0)->Arg(1)->ArgNames({"compressed"});

}  // namespace
}  // namespace kelvora
