// ADPCM decoding speed, in samples per second (a stereo frame is two samples), on the FLV test
// vectors made by ffmpeg. bench/adpcm_vs_ffmpeg.py times ffmpeg's decoder on the same packets.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "audio/CAdpcmDecoder.h"
#include "support/Bytes.h"
#include "support/Corpus.h"

namespace kelvora {
namespace {

struct Packets {
    test::Bytes flv;
    std::vector<std::pair<size_t, size_t>> bodies;  // start, end of each audio tag body
};

Packets LoadFlv(const std::string& name) {
    Packets p;
    p.flv = test::ReadFileBytes(test::TestDataDir() + "/adpcm/" + name + ".flv");
    const test::Bytes& f = p.flv;
    if (f.size() < 9) {
        return p;
    }
    size_t pos = ((f[5] << 24) | (f[6] << 16) | (f[7] << 8) | f[8]) + 4;
    while (pos + 11 <= f.size()) {
        const size_t size = (f[pos + 1] << 16) | (f[pos + 2] << 8) | f[pos + 3];
        if (f[pos] == 8 && pos + 11 + size <= f.size()) {
            p.bodies.emplace_back(pos + 11, pos + 11 + size);
        }
        pos += 11 + size + 4;
    }
    return p;
}

// Every audio tag of a vector decoded as the FLV converter does it: one range per tag body.
void DecodeFlv(benchmark::State& state, const char* name, bool is16Bit) {
    const Packets packets = LoadFlv(name);
    if (packets.bodies.empty()) {
        state.SkipWithError("test vector missing");
        return;
    }
    std::vector<uint8_t> out(CAdpcmDecoder::RangeOutputBound(packets.flv.size(), true));
    BitReader bits(packets.flv.data(), packets.flv.size());
    CAdpcmDecoder decoder(bits);
    size_t samples = 0;
    for (auto _ : state) {
        samples = 0;
        for (const auto& [start, end] : packets.bodies) {
            bits.SetPosition(start);
            const bool stereo = bits.ReadU8() & 1;
            samples += decoder.DecodeByRange(end, stereo, is16Bit, out.data(), out.size()) /
                       (is16Bit ? 2 : 1);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void DecodeLongPacket(benchmark::State& state) {
    const Packets packets = LoadFlv("stereo11k_long");
    if (packets.bodies.size() != 1) {
        state.SkipWithError("test vector missing");
        return;
    }
    const uint32_t frames = 4096 + 1500;
    std::vector<uint8_t> out(CAdpcmDecoder::OutputBytes(frames, true, true));
    BitReader bits(packets.flv.data(), packets.flv.size());
    CAdpcmDecoder decoder(bits);
    for (auto _ : state) {
        bits.SetPosition(packets.bodies[0].first + 1);
        decoder.DecodeByCount(frames, true, true, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["samples/s"] =
        benchmark::Counter(2.0 * frames, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(DecodeFlv, mono22k_16bit, "mono22k", true);
BENCHMARK_CAPTURE(DecodeFlv, stereo44k_16bit, "stereo44k", true);
BENCHMARK_CAPTURE(DecodeFlv, stereo44k_8bit, "stereo44k", false);
BENCHMARK(DecodeLongPacket);

}  // namespace
}  // namespace kelvora
