// TranscodeWavToMp3 against the lame program (`lame -t`) and against the bare library loop, on
// the same WAV file: three minutes of generated stereo sound at 44100 Hz.
//
// The figure that matters is the CPU time each way, since the machine may be shared: the
// "Time" column is the CPU time of the encoding (this process for TranscodeWavToMp3 and the
// library loop, the child process for the lame program), and `wall_ms` is the elapsed time.
// With -t (no VBR/Info frame) the lame program writes the very bytes TranscodeWavToMp3 writes:
// its default quality (3) is the library's. One default differs: the program also measures the
// ReplayGain of the sound, which the library does not by default and which changes no byte of a
// file without the Info frame. `lame -t --noreplaygain` is therefore the run doing the same
// work; plain `lame -t` is timed too.
//
// KELVORA_BENCH_WAV=path uses that WAV file, or writes the generated one there and keeps it
// (for timing the lame program by other means on the same input).

#include <fcntl.h>
#include <lame/lame.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "engine/PathUtil.h"
#include "support/Bytes.h"

extern char** environ;

namespace kelvora {
namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSeconds = 180;

// Chords that change every half second, with vibrato and some noise: sound the psychoacoustic
// model has to work on, unlike silence or a single tone.
void MakeSound(std::vector<int16_t>& left, std::vector<int16_t>& right) {
    const uint32_t frames = kRate * kSeconds;
    left.resize(frames);
    right.resize(frames);
    uint32_t noise = 12345;
    double phase[4] = {};
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t step = i / (kRate / 2);
        double mix[2] = {};
        for (int k = 0; k < 4; ++k) {
            const double f = 110.0 * (1 + (step * (k + 3) + k * 5) % 12) *
                             (1 + 0.003 * std::sin(2 * std::numbers::pi * 5 * i / kRate));
            phase[k] += 2 * std::numbers::pi * f / kRate;
            mix[k % 2] += 0.18 * std::sin(phase[k]);
        }
        noise = noise * 1664525u + 1013904223u;
        const double n = 0.04 * (static_cast<int32_t>(noise) / 2147483648.0);
        left[i] = static_cast<int16_t>(32767 * (mix[0] + 0.5 * mix[1] + n));
        right[i] = static_cast<int16_t>(32767 * (mix[1] + 0.5 * mix[0] - n));
    }
}

struct Fixture {
    test::TempDir dir;
    std::string wav;
    std::vector<int16_t> left, right;

    Fixture() {
        const char* keep = std::getenv("KELVORA_BENCH_WAV");
        wav = keep && *keep ? keep : dir.File("bench.wav");
        if (!PathExists(wav)) {
            MakeSound(left, right);
            CWavWriter writer;
            if (!writer.Open(wav, true, 16, kRate) ||
                !writer.Write(left.data(), right.data(), static_cast<uint32_t>(left.size())) ||
                !writer.Close()) {
                wav.clear();
            }
        }
        // The library loop encodes the very samples the file holds.
        CWavReader reader;
        if (!wav.empty() && reader.Open(wav)) {
            left.clear();
            right.clear();
            int16_t l[kChunkFrames], r[kChunkFrames];
            uint32_t count = 0;
            bool end = false;
            while (reader.ReadChunk(l, r, count, end) && count > 0) {
                left.insert(left.end(), l, l + count);
                right.insert(right.end(), r, r + count);
            }
        }
    }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

double CpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

double SelfCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return CpuSeconds(u);
}

using Clock = std::chrono::steady_clock;

void BM_TranscodeWavToMp3(benchmark::State& state) {
    Fixture& f = Shared();
    if (f.wav.empty()) {
        state.SkipWithError("could not write the WAV file");
        return;
    }
    const std::string mp3 = f.dir.File("ours.mp3");
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpu = SelfCpuSeconds();
        if (!TranscodeWavToMp3(f.wav, mp3, nullptr, nullptr)) {
            state.SkipWithError("TranscodeWavToMp3 failed");
            return;
        }
        state.SetIterationTime(SelfCpuSeconds() - cpu);
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["wall_ms"] = benchmark::Counter(1000 * wall, benchmark::Counter::kAvgIterations);
}

// What TranscodeWavToMp3 does besides encoding: reading the WAV file in chunks.
void BM_WavChunkRead(benchmark::State& state) {
    Fixture& f = Shared();
    int16_t left[kChunkFrames], right[kChunkFrames];
    for (auto _ : state) {
        const double cpu = SelfCpuSeconds();
        CWavReader reader;
        if (!reader.Open(f.wav)) {
            state.SkipWithError("could not read the WAV file");
            return;
        }
        uint32_t count = 0;
        bool end = false;
        while (reader.ReadChunk(left, right, count, end) && count > 0) {
            benchmark::DoNotOptimize(left[count - 1] + right[count - 1]);
        }
        state.SetIterationTime(SelfCpuSeconds() - cpu);
    }
}

// The library alone, from samples in memory to a buffer thrown away: the floor under any caller.
void BM_LameLibraryLoop(benchmark::State& state) {
    Fixture& f = Shared();
    if (f.left.empty()) {
        state.SkipWithError("no samples");
        return;
    }
    std::vector<unsigned char> out(16384);
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double cpu = SelfCpuSeconds();
        lame_t lame = lame_init();
        lame_set_num_channels(lame, 2);
        lame_set_in_samplerate(lame, kRate);
        lame_set_bWriteVbrTag(lame, 0);
        lame_init_params(lame);
        for (size_t at = 0; at < f.left.size(); at += kChunkFrames) {
            const int n = static_cast<int>(std::min<size_t>(kChunkFrames, f.left.size() - at));
            benchmark::DoNotOptimize(lame_encode_buffer(lame, f.left.data() + at,
                                                        f.right.data() + at, n, out.data(),
                                                        static_cast<int>(out.size())));
        }
        benchmark::DoNotOptimize(lame_encode_flush(lame, out.data(), static_cast<int>(out.size())));
        lame_close(lame);
        state.SetIterationTime(SelfCpuSeconds() - cpu);
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["wall_ms"] = benchmark::Counter(1000 * wall, benchmark::Counter::kAvgIterations);
}

// `lame <options> <wav> <mp3>`, its progress display sent to /dev/null; the time is the child's
// CPU time.
void BM_LameProgram(benchmark::State& state, std::vector<std::string> options) {
    Fixture& f = Shared();
    if (f.wav.empty()) {
        state.SkipWithError("could not write the WAV file");
        return;
    }
    const std::string mp3 = f.dir.File("lame.mp3");
    std::vector<std::string> args = {"lame"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(f.wav);
    args.push_back(mp3);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        pid_t pid = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawnp(&pid, "lame", &actions, nullptr, argv.data(), environ) != 0 ||
            wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("the lame program did not run");
            break;
        }
        state.SetIterationTime(CpuSeconds(usage));
        wall += std::chrono::duration<double>(Clock::now() - start).count();
    }
    posix_spawn_file_actions_destroy(&actions);
    state.counters["wall_ms"] = benchmark::Counter(1000 * wall, benchmark::Counter::kAvgIterations);
}

// One encoding per repetition; run with --benchmark_enable_random_interleaving=true so that a
// shared machine's changing load falls on all of them alike.
void EncodingRuns(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(10);
}

BENCHMARK(BM_TranscodeWavToMp3)->Apply(EncodingRuns);
BENCHMARK_CAPTURE(BM_LameProgram, t, std::vector<std::string>{"-t"})->Apply(EncodingRuns);
BENCHMARK_CAPTURE(BM_LameProgram, t_noreplaygain, std::vector<std::string>{"-t", "--noreplaygain"})
    ->Apply(EncodingRuns);
BENCHMARK(BM_LameLibraryLoop)->Apply(EncodingRuns);
BENCHMARK(BM_WavChunkRead)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora
