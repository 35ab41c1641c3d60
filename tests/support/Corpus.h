#pragma once

#include <map>
#include <string>
#include <vector>

namespace kelvora::test {

// The shared corpus of real SWF and FLV files; empty when it is not on this machine.
std::string CorpusDir();
std::string CorpusFile(const std::string& name);

// A link to a corpus file inside `folder`: conversions write next to their source, and the
// corpus itself must never be written to. Returns the link's path.
std::string LinkCorpusFile(const std::string& name, const std::string& folder);

// The folder of test data kept with the tests (vectors made by independent tools).
std::string TestDataDir();

// A tab-separated table with a header row: one map per row, keyed by the header's names.
std::vector<std::map<std::string, std::string>> ReadTsv(const std::string& path);

}  // namespace kelvora::test

// Skips the current test when the corpus is missing.
#define KELVORA_REQUIRE_CORPUS()                                        \
    do {                                                                \
        if (::kelvora::test::CorpusDir().empty()) {                     \
            GTEST_SKIP() << "the shared corpus is not on this machine"; \
        }                                                               \
    } while (0)
