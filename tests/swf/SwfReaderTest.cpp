#include "swf/CSwfReader.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/Bytes.h"
#include "support/HeapMeter.h"
#include "support/SwfBuilder.h"

namespace kelvora {
namespace {

using namespace test;

struct Visit {
    uint16_t code;
    size_t depth;
    bool operator==(const Visit&) const = default;
};

// Opens a movie image in full mode and walks it, recording every tag reached.
std::vector<Visit> Walk(const Bytes& file, CSwfReader& reader) {
    std::vector<Visit> visits;
    EXPECT_TRUE(reader.OpenMemory(file.data(), file.size(), false));
    reader.SetTagVisitor([&](uint16_t code, size_t, size_t, size_t depth) {
        visits.push_back({code, depth});
    });
    reader.WalkTags();
    return visits;
}

std::vector<Visit> Walk(const Bytes& file) {
    CSwfReader reader;
    return Walk(file, reader);
}

Bytes Tag(uint16_t code, size_t bodySize = 3) {
    return SwfTag(code, Bytes(bodySize, 0xAB));
}

TEST(SwfReader, HeaderGivesFrameSizeRateCountAndVersion) {
    SwfMovie movie;
    movie.version = 9;
    movie.frameRate88 = 0x0C80;  // 12.5 frames per second
    movie.frameCount = 300;
    movie.tags = SwfEndTag();
    const size_t plainSize = BuildSwf(movie).size();
    for (bool compressed : {false, true}) {
        movie.compressed = compressed;
        const Bytes file = BuildSwf(movie);
        for (bool headerOnly : {true, false}) {
            CSwfReader reader;
            ASSERT_TRUE(reader.OpenMemory(file.data(), file.size(), headerOnly));
            EXPECT_EQ(reader.Width(), 550);
            EXPECT_EQ(reader.Height(), 400);
            EXPECT_EQ(reader.FrameRate(), 12);
            EXPECT_EQ(reader.FrameCount(), 300);
            EXPECT_EQ(reader.Version(), 9);
            EXPECT_EQ(reader.DataSize(), headerOnly ? 0u : plainSize) << compressed;
        }
    }
}

TEST(SwfReader, RectSignExtensionAndTruncatingDivision) {
    SwfMovie movie;
    movie.xMin = -2000;
    movie.xMax = 2019;  // 4019 twips: 200.95 pixels, truncated
    movie.yMin = -30;
    movie.yMax = -10;
    movie.frameRate88 = 0x0080;  // half a frame per second: whole part 0
    movie.tags = SwfEndTag();
    const Bytes file = BuildSwf(movie);
    CSwfReader reader;
    ASSERT_TRUE(reader.OpenMemory(file.data(), file.size(), true));
    EXPECT_EQ(reader.Width(), 200);
    EXPECT_EQ(reader.Height(), 1);
    EXPECT_EQ(reader.FrameRate(), 0);
}

TEST(SwfReader, RefusesWhatIsNotAMovie) {
    SwfMovie movie;
    movie.tags = SwfEndTag();
    const Bytes good = BuildSwf(movie);
    CSwfReader reader;
    // A 20-byte file with a valid signature: too short.
    EXPECT_FALSE(reader.OpenMemory(good.data(), 20, true));
    EXPECT_FALSE(reader.OpenMemory(good.data(), 7, false));
    for (const char* sig : {"ZWS", "FWX", "fws", "GWS"}) {
        Bytes bad = good;
        std::copy(sig, sig + 3, bad.begin());
        EXPECT_FALSE(reader.OpenMemory(bad.data(), bad.size(), false)) << sig;
        EXPECT_FALSE(reader.OpenMemory(bad.data(), bad.size(), true)) << sig;
    }
    // A header length below 21.
    movie.lengthOverride = 20;
    const Bytes shortLength = BuildSwf(movie);
    EXPECT_FALSE(reader.OpenMemory(shortLength.data(), shortLength.size(), false));
    EXPECT_FALSE(reader.OpenMemory(shortLength.data(), shortLength.size(), true));
}

TEST(SwfReader, CompressedBodyMustInflateToTheHeaderLength) {
    SwfMovie movie;
    movie.tags = Concat({Tag(1, 100), SwfEndTag()});
    movie.compressed = true;
    const Bytes real = BuildSwf(movie);
    movie.compressed = false;
    const uint32_t realLength = static_cast<uint32_t>(BuildSwf(movie).size());
    movie.compressed = true;

    // Claims more than the stream holds: refused in full mode, the header still reads.
    movie.lengthOverride = realLength + 10;
    Bytes longer = BuildSwf(movie);
    CSwfReader reader;
    EXPECT_FALSE(reader.OpenMemory(longer.data(), longer.size(), false));
    EXPECT_TRUE(reader.OpenMemory(longer.data(), longer.size(), true));

    // Claims less: accepted and cut at the claimed length.
    movie.lengthOverride = realLength - 50;
    Bytes shorter = BuildSwf(movie);
    ASSERT_TRUE(reader.OpenMemory(shorter.data(), shorter.size(), false));
    EXPECT_EQ(reader.DataSize(), realLength - 50);

    // A damaged stream fails.
    Bytes damaged = real;
    for (size_t i = 10; i < damaged.size(); ++i) {
        damaged[i] ^= 0x5A;
    }
    EXPECT_FALSE(reader.OpenMemory(damaged.data(), damaged.size(), false));
    // A truncated stream fails in full mode.
    EXPECT_FALSE(reader.OpenMemory(real.data(), real.size() - 20, false));
}

TEST(SwfReader, LyingLengthsAreNeverTrustedForAllocation) {
    // A 30-byte CWS file claiming 4 GiB: refused at once, long before any large allocation.
    SwfMovie movie;
    movie.compressed = true;
    movie.tags = SwfEndTag();
    movie.lengthOverride = 0xFFFFFFFF;
    const Bytes cws = BuildSwf(movie);
    ASSERT_LT(cws.size(), 64u);
    CSwfReader reader;
    EXPECT_FALSE(reader.OpenMemory(cws.data(), cws.size(), false));

    // An FWS claiming 4 GiB gets a buffer of its real size and is walked to its real end.
    movie.compressed = false;
    movie.tags = Concat({Tag(1), Tag(2), SwfTag(3, Bytes(100, 0))});
    Bytes fws = BuildSwf(movie);
    fws.resize(fws.size() - 40);  // the last tag runs past the real end
    ASSERT_TRUE(reader.OpenMemory(fws.data(), fws.size(), false));
    EXPECT_EQ(reader.DataSize(), fws.size());
    std::vector<Visit> visits;
    reader.SetTagVisitor([&](uint16_t code, size_t, size_t, size_t d) {
        visits.push_back({code, d});
    });
    reader.WalkTags();
    EXPECT_EQ(visits, (std::vector<Visit>{{1, 0}, {2, 0}}));
}

TEST(SwfReader, LongTagHeaderIsTheSameTagAsAShortOne) {
    SwfMovie movie;
    size_t shortBody = 0, longBody = 0;
    for (bool longHeader : {false, true}) {
        movie.tags = Concat({SwfTag(14, Bytes(10, 7), longHeader), Tag(1)});
        const Bytes file = BuildSwf(movie);
        CSwfReader reader;
        ASSERT_TRUE(reader.OpenMemory(file.data(), file.size(), false));
        std::vector<std::tuple<uint16_t, size_t>> seen;
        reader.SetTagVisitor([&](uint16_t code, size_t start, size_t end, size_t) {
            seen.emplace_back(code, end - start);
        });
        reader.WalkTags();
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0], std::make_tuple(uint16_t{14}, size_t{10}));
        EXPECT_EQ(std::get<0>(seen[1]), 1);
        (longHeader ? longBody : shortBody) = std::get<1>(seen[0]);
    }
    EXPECT_EQ(shortBody, longBody);
}

TEST(SwfReader, WalkDescendsIntoSpritesAndResumesAfterThem) {
    SwfMovie movie;
    const Bytes inner = DefineSprite(3, 1, Concat({Tag(18), Tag(19)}));
    const Bytes outer = DefineSprite(2, 1, Concat({Tag(19), inner, Tag(14)}));
    movie.tags = Concat({Tag(1), outer, Tag(45), SwfEndTag(), Tag(14)});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{1, 0},
                                                         {39, 0},
                                                         {19, 1},
                                                         {39, 1},
                                                         {18, 2},
                                                         {19, 2},
                                                         {0, 2},
                                                         {14, 1},
                                                         {0, 1},
                                                         {45, 0},
                                                         {0, 0}}));
}

TEST(SwfReader, SpriteWithoutEndTagStopsAtItsOwnEnd) {
    SwfMovie movie;
    const Bytes sprite = DefineSprite(2, 1, Tag(14), /*withEnd=*/false);
    movie.tags = Concat({sprite, Tag(19), SwfEndTag()});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{39, 0}, {14, 1}, {19, 0}, {0, 0}}));
}

TEST(SwfReader, TagRunningPastTheSpriteEndsOnlyTheSpriteLevel) {
    // Inside the sprite, a tag claims 200 bytes but the sprite holds 3.
    SwfMovie movie;
    Bytes spriteBody = ByteWriter().U16(2).U16(1).U16((14u << 6) | 0x3F).U32(200).take();
    spriteBody.insert(spriteBody.end(), 3, 0);
    movie.tags = Concat({SwfTag(39, spriteBody), Tag(19), SwfEndTag()});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{39, 0}, {19, 0}, {0, 0}}));
}

TEST(SwfReader, DeeplyNestedSpritesDoNotExhaustTheStackOrTheMemory) {
    // Far deeper than any walk goes: the sprites below the deepest level walked are stepped over
    // whole, and the walk goes on after them.
    constexpr int kDepth = 100000;
    // Without End tags each level costs a 6-byte long header and 4 bytes of id and frame count;
    // the headers are written outermost first so that building the file stays linear.
    const Bytes innermost = Tag(18);
    ByteWriter w;
    for (int level = 0; level < kDepth; ++level) {
        const uint32_t bodySize =
            static_cast<uint32_t>(4 + 10 * (kDepth - 1 - level) + innermost.size());
        w.U16((39u << 6) | 0x3F).U32(bodySize).U16(1).U16(1);
    }
    w.Append(innermost);
    const Bytes tags = w.take();
    SwfMovie movie;
    movie.tags = Concat({tags, Tag(19)});
    const Bytes file = BuildSwf(movie);
    CSwfReader reader;
    ASSERT_TRUE(reader.OpenMemory(file.data(), file.size(), false));
    size_t maxDepth = 0, count = 0;
    reader.SetTagVisitor([&](uint16_t, size_t, size_t, size_t d) {
        maxDepth = std::max(maxDepth, d);
        ++count;
    });
    HeapMeter meter;
    reader.WalkTags();
    EXPECT_LT(meter.PeakAbove(), size_t{1} << 20);  // a tenth of the file
    EXPECT_EQ(maxDepth, kMaxSpriteDepth);
    // The sprites of every level walked, the one stepped over at the deepest, the tag after.
    EXPECT_EQ(count, kMaxSpriteDepth + 2);
}

TEST(SwfReader, EndTagAtTopLevelStopsTheWalkAndTagsEndingAtTheDataEndAreHandled) {
    SwfMovie movie;
    movie.tags = Concat({Tag(14), SwfEndTag(), Tag(19)});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{14, 0}, {0, 0}}));
    // No End tag: the last tag ends exactly at the data end and is handled.
    movie.tags = Concat({Tag(14), Tag(19, 0)});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{14, 0}, {19, 0}}));
    // A lone byte after the last tag is no tag header.
    movie.tags = Concat({Tag(14), Bytes{0x55}});
    EXPECT_EQ(Walk(BuildSwf(movie)), (std::vector<Visit>{{14, 0}}));
}

TEST(SwfReader, ReadInfoNeedsBothArgumentsAndAReadableFile) {
    TempDir dir;
    SwfMovie movie;
    movie.frameCount = 65535;
    movie.tags = SwfEndTag();
    const std::string path = dir.File("m.swf");
    ASSERT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    SwfMovieInfo info;
    EXPECT_FALSE(reader.ReadInfo("", &info));
    EXPECT_FALSE(reader.ReadInfo(path, nullptr));
    EXPECT_FALSE(reader.ReadInfo(dir.File("missing.swf"), &info));
    EXPECT_FALSE(reader.ReadInfo(dir.path(), &info));  // a folder
    ASSERT_TRUE(reader.ReadInfo(path, &info));
    EXPECT_EQ(info.width, 550);
    EXPECT_EQ(info.height, 400);
    EXPECT_EQ(info.frameRate, 12u);
    EXPECT_EQ(info.frameCount, 65535u);
    EXPECT_EQ(info.version, 6);
}

TEST(SwfReader, FullOpenOfAFileSettlesTheOutputBaseAndResetClearsIt) {
    TempDir dir;
    SwfMovie movie;
    movie.tags = SwfEndTag();
    const std::string path = dir.File("clip.swf");
    ASSERT_TRUE(WriteFileBytes(path, BuildSwf(movie)));
    CSwfReader reader;
    ASSERT_TRUE(reader.Open(path, false));
    EXPECT_EQ(reader.OutputBase(), dir.File("clip"));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"clip.swf"});
    reader.Reset();
    EXPECT_EQ(reader.OutputBase(), "");
    EXPECT_EQ(reader.DataSize(), 0u);
    EXPECT_EQ(reader.Width(), 0);
    ASSERT_TRUE(reader.Open(path, true));
    EXPECT_EQ(reader.OutputBase(), "");
}

}  // namespace
}  // namespace kelvora
