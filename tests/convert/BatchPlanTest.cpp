#include "convert/BatchPlan.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/PathUtil.h"
#include "support/Bytes.h"

namespace kelvora {
namespace {

using namespace test;

// Groups of a batch of these names in one folder, as lists of names.
std::vector<std::vector<std::string>> Groups(const std::vector<std::string>& names,
                                             const ConversionOptions& options = {}) {
    TempDir dir;
    std::vector<std::unique_ptr<SourceItem>> items;
    std::vector<const SourceItem*> listed;
    for (const std::string& name : names) {
        items.push_back(std::make_unique<SourceItem>(
            HasExtension(name, ".flv") ? SourceKind::Flv : SourceKind::Swf, dir.File(name)));
        listed.push_back(items.back().get());
    }
    std::vector<std::vector<std::string>> groups;
    for (const auto& group : PlanConversionGroups(listed, options)) {
        groups.emplace_back();
        for (const size_t i : group) {
            groups.back().push_back(names[i]);
        }
    }
    return groups;
}

// Only sources whose outputs can claim the same names share a worker: a numbered collection
// spreads over every worker, a base and the bases named from it go together.
TEST(BatchPlan, OnlySourcesThatCanClaimTheSameNamesShareAWorker) {
    std::vector<std::string> numbered;
    for (int i = 1; i <= 24; ++i) {
        numbered.push_back("track_" + std::to_string(i) + ".flv");
    }
    EXPECT_EQ(Groups(numbered).size(), 24u);
    EXPECT_EQ(Groups({"in_01.flv", "in_02.flv", "in_10.flv"}).size(), 3u);

    EXPECT_EQ(Groups({"a.swf", "b.swf", "a.flv", "c_1.swf", "c.flv", "c_002.swf", "d_01.swf",
                      "d.swf", "e_x.swf", "e.swf"}),
              (std::vector<std::vector<std::string>>{{"a.swf", "a.flv"},
                                                     {"b.swf"},
                                                     {"c_1.swf", "c.flv", "c_002.swf"},
                                                     {"d_01.swf"},
                                                     {"d.swf"},
                                                     {"e_x.swf"},
                                                     {"e.swf"}}));
    // A movie named after its linkage names writes "e_x.mp3" and on.
    EXPECT_EQ(Groups({"e_x.swf", "e.swf"}, {.linkageNames = true}).size(), 1u);
    // A movie's embedded movies write "g_bin5_001.mp3" and on; an archive "bundle/...".
    EXPECT_EQ(Groups({"g_bin5.swf", "g.swf", "g_bin5_bin2.flv"}).size(), 3u);
    EXPECT_EQ(Groups({"g_bin5.swf", "g.swf", "g_bin5_bin2.flv"}, {.embedded = true}).size(), 1u);
    EXPECT_EQ(Groups({"bundle.zip", "bundle.swf", "bundle.flv"}, {.embedded = true}).size(), 1u);
}

}  // namespace
}  // namespace kelvora
