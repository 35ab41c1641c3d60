// Runs inputs through the fuzz targets without libFuzzer: every file of each target's seed and
// regression folders (no arguments), or the given files and folders through one target
// (`kelvora_fuzz_replay TARGET PATH...`). A fault stops the program as it stops a fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int KelvoraFuzz_swf(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_flv(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_adpcm(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_wav(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_mp3(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_sampleconverter(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_zws(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_codecs(const uint8_t* data, size_t size);
extern "C" int KelvoraFuzz_wrappers(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};

constexpr Target kTargets[] = {
    {"swf", KelvoraFuzz_swf},           {"flv", KelvoraFuzz_flv},
    {"adpcm", KelvoraFuzz_adpcm},       {"wav", KelvoraFuzz_wav},
    {"mp3", KelvoraFuzz_mp3},           {"sampleconverter", KelvoraFuzz_sampleconverter},
    {"zws", KelvoraFuzz_zws},           {"codecs", KelvoraFuzz_codecs},
    {"wrappers", KelvoraFuzz_wrappers},
};

// The files of a folder (sorted, so that runs are alike), or the path itself when it is a file.
std::vector<fs::path> FilesOf(const fs::path& path) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            if (entry.is_regular_file(ec) && entry.path().filename().string()[0] != '.') {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
    } else if (fs::is_regular_file(path, ec)) {
        files.push_back(path);
    }
    return files;
}

// Runs one input the way libFuzzer hands it over: a heap copy of exactly its size.
bool RunFile(const Target& target, const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    data.shrink_to_fit();
    target.run(data.empty() ? nullptr : data.data(), data.size());
    return true;
}

const Target* FindTarget(const char* name) {
    for (const Target& t : kTargets) {
        if (std::strcmp(t.name, name) == 0) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        const Target* target = FindTarget(argv[1]);
        if (!target || argc < 3) {
            std::fprintf(stderr, "usage: %s [TARGET PATH...]\n", argv[0]);
            return 2;
        }
        size_t runs = 0;
        for (int i = 2; i < argc; ++i) {
            for (const fs::path& file : FilesOf(argv[i])) {
                if (!RunFile(*target, file)) {
                    return 1;
                }
                ++runs;
            }
        }
        std::printf("%s: %zu inputs\n", target->name, runs);
        return runs > 0 ? 0 : 1;
    }
    const fs::path root = KELVORA_FUZZ_DIR;
    bool ok = true;
    for (const Target& target : kTargets) {
        const std::vector<fs::path> seeds = FilesOf(root / "corpus" / target.name);
        const std::vector<fs::path> regressions = FilesOf(root / "regressions" / target.name);
        if (seeds.empty()) {
            // A target without seeds is a broken checkout, not a pass.
            std::fprintf(stderr, "%s: no seed inputs in %s\n", target.name,
                         (root / "corpus" / target.name).c_str());
            ok = false;
            continue;
        }
        for (const auto* list : {&seeds, &regressions}) {
            for (const fs::path& file : *list) {
                ok = RunFile(target, file) && ok;
            }
        }
        std::printf("%s: %zu seeds, %zu regression inputs\n", target.name, seeds.size(),
                    regressions.size());
    }
    return ok ? 0 : 1;
}
