// What a movie can make the reader spend: memory and output in proportion to the data it holds,
// never to the counts and lengths it claims.
#include <gtest/gtest.h>

#include "audio/CAdpcmDecoder.h"
#include "engine/File.h"
#include "support/Bytes.h"
#include "support/HeapMeter.h"
#include "support/SwfBuilder.h"
#include "swf/CSwfReader.h"

namespace kelvora {
namespace {

using namespace test;

class SwfResources : public ::testing::Test {
  protected:
    // Writes the movie and extracts its elements, measuring the heap it takes above the file.
    bool Extract(const SwfMovie& movie) {
        const Bytes file = BuildSwf(movie);
        const std::string path = m_dir.File("clip.swf");
        EXPECT_TRUE(WriteFileBytes(path, file));
        HeapMeter meter;
        const bool ok = m_reader.ExtractElements(path);
        m_peak = meter.PeakAbove();
        m_peakAboveFile = m_peak - std::min(m_peak, file.size());
        return ok;
    }
    Bytes Payload(size_t element) {
        const Bytes wav = ReadFileBytes(m_reader.Elements().at(element).path);
        return Bytes(wav.begin() + std::min<size_t>(44, wav.size()), wav.end());
    }

    TempDir m_dir;
    CSwfReader m_reader;
    size_t m_peak = 0;
    size_t m_peakAboveFile = 0;
};

TEST_F(SwfResources, LongAdpcmSoundsAreDecodedInPiecesToTheSameSamples) {
    // 2-bit mono codes: 1 MB of data holds four million samples, 8 MB of 16-bit output.
    const Bytes data = Concat({Bytes{0x00}, Noise(1 << 20)});
    const uint32_t count = 4u << 20;
    Bytes whole(CAdpcmDecoder::OutputBytes(count, false, true));
    BitReader bits(data.data(), data.size());
    CAdpcmDecoder(bits).DecodeByCount(count, false, true, whole.data());

    SwfMovie movie;
    movie.tags = Concat({DefineSound(1, 1, 0, true, false, count, data), SwfEndTag()});
    ASSERT_TRUE(Extract(movie));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_EQ(m_reader.Elements()[0].sampleCount, count);
    EXPECT_TRUE(Payload(0) == whole);
    EXPECT_LT(m_peakAboveFile, size_t{2} << 20);
}

TEST_F(SwfResources, StreamBlocksDecodeNoMoreThanTheirDataHolds) {
    // An ADPCM stream of 1000 frames a block: one block that holds them, then 200 empty blocks
    // that claim as many each. The file and the element's length hold the sound, not the claims.
    const Bytes tags = Concat({SoundStreamHead(1, 1, true, true, 1000),
                               SoundStreamBlock(Concat({Bytes{0x80}, Noise(1000)}))});
    Bytes empty;
    for (int i = 0; i < 200; ++i) {
        empty = Concat({empty, SoundStreamBlock({})});
    }
    SwfMovie movie;
    movie.tags = Concat({tags, empty, SwfEndTag()});
    ASSERT_TRUE(Extract(movie));
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_EQ(m_reader.Elements()[0].sampleCount, 1000u);
    EXPECT_EQ(Payload(0).size(), 1000u * 4u);
}

TEST_F(SwfResources, LzmaMoviesCostWhatTheirDataHoldsAndBrokenDataEndsTheWalk) {
    m_reader.SetOptions(ConversionOptions{.allFormats = true});
    const Bytes first = Noise(40000, 7), second = Noise(200000);
    SwfMovie movie;
    movie.compressed = movie.lzma = true;
    movie.tags = Concat({DefineSound(1, 3, 2, true, false, 20000, first),
                         DefineSound(2, 3, 3, true, true, 50000, second), SwfEndTag()});
    // A length claim past what the data may inflate to (LZMA is held to the ratio archives
    // are) is refused; one within it costs no more than the data really inflates to.
    movie.lengthOverride = 0xFFFFFFFF;
    EXPECT_FALSE(Extract(movie));
    EXPECT_EQ(m_reader.Report().failure, Failure::InflatesTooFar);
    movie.lengthOverride = static_cast<int64_t>(BuildSwf(movie).size() * 1000);
    ASSERT_TRUE(Extract(movie));
    EXPECT_LT(m_peakAboveFile, size_t{2} << 20);
    ASSERT_EQ(m_reader.Elements().size(), 2u);
    EXPECT_TRUE(Payload(1) == second);
    for (const OutputItem& e : m_reader.Elements()) {
        RemoveFile(e.path);
    }

    // Data that stops or breaks midway: the walk takes what came out before it.
    movie.lengthOverride = -1;
    const Bytes whole = BuildSwf(movie);
    for (const bool cut : {true, false}) {
        Bytes damaged = whole;
        if (cut) {
            damaged.resize(whole.size() * 2 / 3);
        } else {
            for (size_t i = whole.size() * 2 / 3; i < whole.size() * 2 / 3 + 64; ++i) {
                damaged[i] ^= 0x5A;
            }
        }
        ASSERT_TRUE(WriteFileBytes(m_dir.File("clip.swf"), damaged));
        ASSERT_TRUE(m_reader.ExtractElements(m_dir.File("clip.swf")));
        ASSERT_GE(m_reader.Elements().size(), 1u);
        EXPECT_TRUE(Payload(0) == first);
        for (const OutputItem& e : m_reader.Elements()) {
            RemoveFile(e.path);
        }
    }
    // Data of which nothing inflates is no movie.
    ASSERT_TRUE(WriteFileBytes(m_dir.File("clip.swf"),
                               Concat({Bytes(whole.begin(), whole.begin() + 17), Noise(1024)})));
    EXPECT_FALSE(m_reader.ExtractElements(m_dir.File("clip.swf")));
    EXPECT_EQ(m_reader.Report().failure, Failure::BrokenCompression);
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"clip.swf"});
}

TEST_F(SwfResources, NeitherALyingNorATrueLargeLengthCostsItsSizeInHeap) {
    // 100 KB of zlib data that cannot shrink, claiming 64 MB: within what zlib could inflate
    // that much data to, but it does not.
    SwfMovie movie;
    movie.compressed = true;
    movie.tags = Concat({SwfTag(1, Noise(100 * 1024)), SwfEndTag()});
    movie.lengthOverride = 64 << 20;
    EXPECT_FALSE(Extract(movie));
    EXPECT_LT(m_peakAboveFile, size_t{1} << 20);
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"clip.swf"});

    // The same length told truly is inflated and walked, outside the heap.
    const Bytes pcm = Noise(20 << 20);
    movie.tags = Concat({DefineSound(1, 3, 3, true, true, pcm.size() / 4, pcm), SwfEndTag()});
    movie.lengthOverride = -1;
    EXPECT_TRUE(Extract(movie));
    EXPECT_EQ(m_reader.DataSize(), BuildSwf(SwfMovie{.tags = movie.tags}).size());
    EXPECT_LT(m_peak, size_t{4} << 20);
    ASSERT_EQ(m_reader.Elements().size(), 1u);
    EXPECT_TRUE(Payload(0) == pcm);

    // A plain movie is walked where it lies, not copied.
    movie.compressed = false;
    EXPECT_TRUE(Extract(movie));
    EXPECT_LT(m_peak, size_t{2} << 20);
    EXPECT_TRUE(Payload(0) == pcm);
}

}  // namespace
}  // namespace kelvora
