#include "ui/CMergeList.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

OutputItem Output(const std::string& path, uint32_t isMp3 = 1, uint32_t rate = 44100,
                  uint16_t channels = 2, uint16_t bits = 16) {
    OutputItem item;
    item.path = path;
    item.isMp3 = isMp3;
    item.sampleRate = rate;
    item.sampleCount = rate * 3;
    item.channels = channels;
    item.bitsPerSample = bits;
    return item;
}

TEST(MergeList, EntryAndSourceTexts) {
    EXPECT_EQ(MergeTimeText(44099, 44100), "00:00:01");
    EXPECT_EQ(MergeTimeText(3725u * 22050, 22050), "01:02:05");
    EXPECT_EQ(MergeTimeText(360000u * 11025, 11025), "100:00:00");

    OutputItem item = Output("/music/set/take.mp3", 1, 22050, 0, 8);
    EXPECT_EQ(MergeEntryTexts(item, 4),
              (std::vector<std::string>{"5", "take.mp3", "00:00:03", "22.1 kHz", "Stereo", "8",
                                        "/music/set/take.mp3"}));
    item = Output("/m/x.mp3", 1, 11025, 1);
    EXPECT_EQ(MergeEntryTexts(item, 0)[CMergeList::kColRate], "11.0 kHz");
    EXPECT_EQ(MergeEntryTexts(item, 0)[CMergeList::kColType], "Mono");
    item = Output("/m/x.mp3", 1, 5512, 2);
    EXPECT_EQ(MergeEntryTexts(item, 0)[CMergeList::kColRate], "5.5 kHz");
    EXPECT_EQ(MergeEntryTexts(item, 0)[CMergeList::kColType], "Stereo");

    SourceItem source(SourceKind::Flv, "/video/clip.flv");
    EXPECT_EQ(MergeSourceTexts(source, 2),
              (std::vector<std::string>{"3", "clip.flv", "0 Sound(s)", "/video/clip.flv"}));
    source.outputs = {Output("/video/clip.mp3"), Output("/video/clip.wav", 0)};
    EXPECT_EQ(MergeSourceTexts(source, 0)[2], "2 Sound(s)");
}

TEST(MergeList, AddingSkipsWavOutputsAndListsRepeatsAgain) {
    SourceItem a(SourceKind::Swf, "/m/a.swf");
    a.outputs = {Output("/m/a_001.mp3"), Output("/m/a_002.wav", 0), Output("/m/a_003.mp3")};
    SourceItem wavOnly(SourceKind::Flv, "/m/b.flv");
    wavOnly.outputs = {Output("/m/b.wav", 0)};
    SourceItem notConverted(SourceKind::Swf, "/m/c.swf");

    CMergeList list;
    EXPECT_EQ(list.AddFromSources({&wavOnly, &notConverted}), 0);
    EXPECT_EQ(list.AddFromSources({&a, &wavOnly, &notConverted}), 2);
    EXPECT_EQ(list.AddFromSources({&a}), 2);
    ASSERT_EQ(list.Count(), 4);
    const char* paths[] = {"/m/a_001.mp3", "/m/a_003.mp3", "/m/a_001.mp3", "/m/a_003.mp3"};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(list.PathAt(i), paths[i]);
        EXPECT_EQ(list.Ctrl().Text(i, CMergeList::kColNumber), std::to_string(i + 1));
    }
    EXPECT_EQ(list.EntryAt(2), &a.outputs[0]);  // a reference to the record, not a copy
}

TEST(MergeList, AgreeComparesRateBitsAndChannelsWithTheFirst) {
    const OutputItem first = Output("/m/1.mp3"), rate = Output("/m/r.mp3", 1, 22050),
                     mono = Output("/m/c.mp3", 1, 44100, 1),
                     bits = Output("/m/b.mp3", 1, 44100, 2, 8);
    OutputItem same = Output("/m/2.mp3");
    same.sampleCount = 5;  // length and name do not matter
    EXPECT_TRUE(EntriesAgree({&first}));
    EXPECT_TRUE(EntriesAgree({&first, &same, &first}));
    for (const OutputItem* other : {&rate, &mono, &bits}) {
        EXPECT_FALSE(EntriesAgree({&first, &same, other}));
    }
}

// Entries P Q R S T of one source.
class MergeListOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"P", "Q", "R", "S", "T"}) {
            m_source.outputs.push_back(Output(std::string("/m/") + name));
        }
        m_list.AddFromSources({&m_source});
    }
    void Reset() {
        m_list.Clear();
        m_list.AddFromSources({&m_source});
    }
    void Select(const std::string& names) {
        for (int32_t i = 0; i < m_list.Count(); ++i) {
            m_list.Ctrl().SetSelected(i, names.find(Name(i)) != std::string::npos);
        }
    }
    char Name(int32_t row) const { return m_list.PathAt(row).back(); }
    // The names in order, lower case where selected; every row numbered from 1 and showing its
    // own record.
    std::string Order() const {
        std::string order;
        for (int32_t i = 0; i < m_list.Count(); ++i) {
            EXPECT_EQ(m_list.Ctrl().Text(i, CMergeList::kColNumber), std::to_string(i + 1));
            EXPECT_EQ(m_list.Ctrl().Text(i, CMergeList::kColPath), m_list.PathAt(i));
            order += m_list.Ctrl().IsSelected(i) ? static_cast<char>(Name(i) + 32) : Name(i);
        }
        return order;
    }

    SourceItem m_source{SourceKind::Swf, "/m/movie.swf"};
    CMergeList m_list;
};

TEST_F(MergeListOrder, MovesCarryTheSelection) {
    Select("QS");
    EXPECT_EQ(m_list.MoveUp(), 0);
    EXPECT_EQ(Order(), "qPsRT");
    Reset();
    Select("QS");
    EXPECT_EQ(m_list.MoveDown(), 4);
    EXPECT_EQ(Order(), "PRqTs");
    Reset();
    Select("RS");  // a block moves whole, the row above goes below it
    EXPECT_EQ(m_list.MoveUp(), 1);
    EXPECT_EQ(Order(), "PrsQT");
    EXPECT_EQ(m_list.MoveDown(), 3);
    EXPECT_EQ(Order(), "PQrsT");
}

TEST_F(MergeListOrder, MovesAtTheEndsDoNothing) {
    Select("PR");
    EXPECT_EQ(m_list.MoveUp(), -1);
    Select("RT");
    EXPECT_EQ(m_list.MoveDown(), -1);
    Select("");
    EXPECT_EQ(m_list.MoveUp(), -1);
    EXPECT_EQ(m_list.MoveDown(), -1);
    EXPECT_EQ(m_list.RemoveSelected(), -1);
    EXPECT_EQ(Order(), "PQRST");
}

TEST_F(MergeListOrder, RemovingRenumbersFromTheFirstRemoved) {
    Select("Q");
    EXPECT_EQ(m_list.RemoveSelected(), 1);
    EXPECT_EQ(Order(), "PRST");
    Select("RT");
    EXPECT_EQ(m_list.RemoveSelected(), 1);
    EXPECT_EQ(Order(), "PS");
}

}  // namespace
}  // namespace kelvora
