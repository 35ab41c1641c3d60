// TranscodeWavToMp3 against the lame program (`lame -t`) and against the bare library loop, on
// the same WAV file: three minutes of generated stereo sound at 44100 Hz.
//
// Times are CPU times (of this process, or of the child for the lame program), which a shared
// machine disturbs less than elapsed time; each reference runs in turns with TranscodeWavToMp3.
// Even so one run may vary by a tenth there: compare means over many repetitions
// (--benchmark_repetitions=N), and BM_WavChunkRead, the part of the work that is not LAME's.
// With -t (no VBR/Info frame) the lame program writes the very bytes TranscodeWavToMp3 writes:
// its default quality (3) is the library's. One default differs: the program also measures the
// ReplayGain of the sound, which the library does not by default and which changes no byte of a
// file without the Info frame. `lame -t --noreplaygain` is therefore the run doing the same
// work; plain `lame -t` is timed too.
//
// KELVORA_BENCH_WAV=path uses that WAV file, or writes the generated one there and keeps it
// (for timing the lame program by other means on the same input); it must be 16-bit stereo at
// 44100 Hz like the generated one.

#include <fcntl.h>
#include <lame/lame.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
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
        if (wav.empty() || !reader.Open(wav) || reader.Channels() != 2 ||
            reader.BitsPerSample() != 16 || reader.SampleRate() != kRate) {
            wav.clear();
        } else {
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

// One timed encoding each: the CPU seconds it took, or a negative value when it could not run.
double RunOurs(Fixture& f) {
    const double start = SelfCpuSeconds();
    if (!TranscodeWavToMp3(f.wav, f.dir.File("ours.mp3"), nullptr, nullptr)) {
        return -1;
    }
    return SelfCpuSeconds() - start;
}

// The library alone, from the samples in memory to a buffer thrown away: the floor under any
// caller.
double RunLibraryLoop(Fixture& f) {
    std::vector<unsigned char> out(16384);
    const double start = SelfCpuSeconds();
    lame_t lame = lame_init();
    if (!lame) {
        return -1;
    }
    lame_set_num_channels(lame, 2);
    lame_set_in_samplerate(lame, kRate);
    lame_set_bWriteVbrTag(lame, 0);
    lame_init_params(lame);
    for (size_t at = 0; at < f.left.size(); at += kChunkFrames) {
        const int n = static_cast<int>(std::min<size_t>(kChunkFrames, f.left.size() - at));
        benchmark::DoNotOptimize(lame_encode_buffer(lame, f.left.data() + at, f.right.data() + at,
                                                    n, out.data(), static_cast<int>(out.size())));
    }
    benchmark::DoNotOptimize(lame_encode_flush(lame, out.data(), static_cast<int>(out.size())));
    lame_close(lame);
    return SelfCpuSeconds() - start;
}

// `lame <options> <wav> <mp3>` with its progress display sent to /dev/null: the child's CPU time.
double RunLameProgram(Fixture& f, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"lame"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(f.wav);
    args.push_back(f.dir.File("lame.mp3"));
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    const bool ran = posix_spawnp(&pid, "lame", &actions, nullptr, argv.data(), environ) == 0 &&
                     wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return ran ? CpuSeconds(usage) : -1;
}

// TranscodeWavToMp3 and a reference, run back to back in turns so that a shared machine's
// changing speed falls on both alike. The time is TranscodeWavToMp3's; `ref_ms` is the
// reference's and `ours_vs_ref_pct` how much longer TranscodeWavToMp3 took.
void BM_TranscodeWavToMp3Against(benchmark::State& state,
                                 std::function<double(Fixture&)> reference) {
    Fixture& f = Shared();
    if (f.wav.empty() || f.left.empty()) {
        state.SkipWithError("could not write the WAV file");
        return;
    }
    static unsigned turn = 0;
    double ours = 0, ref = 0;
    for (auto _ : state) {
        double a = 0, b = 0;
        if (++turn % 2) {
            a = RunOurs(f);
            b = reference(f);
        } else {
            b = reference(f);
            a = RunOurs(f);
        }
        if (a < 0 || b < 0) {
            state.SkipWithError("an encoding did not run");
            return;
        }
        state.SetIterationTime(a);
        ours += a;
        ref += b;
    }
    state.counters["ref_ms"] = benchmark::Counter(1000 * ref, benchmark::Counter::kAvgIterations);
    state.counters["ours_vs_ref_pct"] = 100 * (ours / ref - 1);
}

// What TranscodeWavToMp3 does besides encoding: reading the WAV file in chunks.
void BM_WavChunkRead(benchmark::State& state) {
    Fixture& f = Shared();
    int16_t left[kChunkFrames], right[kChunkFrames];
    for (auto _ : state) {
        const double start = SelfCpuSeconds();
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
        state.SetIterationTime(SelfCpuSeconds() - start);
    }
}

void PairedRuns(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(10);
}

BENCHMARK_CAPTURE(BM_TranscodeWavToMp3Against, lame_t, [](Fixture& f) {
    return RunLameProgram(f, {"-t"});
})->Apply(PairedRuns);
BENCHMARK_CAPTURE(BM_TranscodeWavToMp3Against, lame_t_noreplaygain, [](Fixture& f) {
    return RunLameProgram(f, {"-t", "--noreplaygain"});
})->Apply(PairedRuns);
BENCHMARK_CAPTURE(BM_TranscodeWavToMp3Against, library_loop, RunLibraryLoop)->Apply(PairedRuns);
BENCHMARK(BM_WavChunkRead)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora
