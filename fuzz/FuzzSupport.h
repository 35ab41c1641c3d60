#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ConversionOptions.h"

namespace kelvora::fuzz {

// One scratch folder per process (in /dev/shm when it can be written, else under $TMPDIR or
// /tmp) for the files a fuzz target has to write: created on first use, emptied after every
// input, removed when the process ends.
class ScratchFolder {
  public:
    static ScratchFolder& Get();

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Removes everything in the folder.
    void Clear() const;
    // Writes `data` to a file of the folder and returns its path (empty when that failed).
    std::string Write(const std::string& name, const uint8_t* data, size_t size) const;

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

  private:
    ScratchFolder();
    ~ScratchFolder();

    std::string m_path;
};

// Stops the process with a message when a target finds its own results inconsistent: the fuzzer
// takes the abort for a crash and keeps the input.
[[noreturn]] void Fail(const char* what);

// A movie's file image through the SWF reader: the header-only read, then the full read with the
// tag walk writing its elements into the scratch folder, each checked to be a whole file.
void WalkMovie(const uint8_t* data, size_t size, const ConversionOptions& options);
// A video's file image through the FLV reader, its track written into the scratch folder and a
// WAV track read back.
void WalkVideo(const uint8_t* data, size_t size, const ConversionOptions& options);

}  // namespace kelvora::fuzz

// Checks a property of a target's results; a false one is a finding.
#define KELVORA_FUZZ_CHECK(condition)                                              \
    do {                                                                           \
        if (!(condition)) {                                                        \
            ::kelvora::fuzz::Fail(__FILE__ ":" KELVORA_FUZZ_LINE ": " #condition); \
        }                                                                          \
    } while (0)
#define KELVORA_FUZZ_STR(x) #x
#define KELVORA_FUZZ_XSTR(x) KELVORA_FUZZ_STR(x)
#define KELVORA_FUZZ_LINE KELVORA_FUZZ_XSTR(__LINE__)
