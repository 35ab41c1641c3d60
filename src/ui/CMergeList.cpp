#include "ui/CMergeList.h"

#include "convert/ColumnTexts.h"
#include "convert/ConversionJob.h"
#include "engine/PathUtil.h"

namespace kelvora {

CMergeList::CMergeList() {
    // Every column sorts by its plain text, "Time" included (its fields have fixed widths).
    using A = ColumnAlign;
    m_ctrl.AddColumn({"No.", 35, A::Left});
    m_ctrl.AddColumn({"MP3 File", 120, A::Left});
    m_ctrl.AddColumn({"Time", 70, A::Left});
    m_ctrl.AddColumn({"Rate", 65, A::Right});
    m_ctrl.AddColumn({"Type", 60, A::Left});
    m_ctrl.AddColumn({"Bits", 40, A::Right});
    m_ctrl.AddColumn({"Path", 200, A::Left});
}

int32_t CMergeList::AddFromSources(const std::vector<SourceItem*>& sources) {
    int32_t added = 0;
    for (SourceItem* source : sources) {
        if (!source) {
            continue;
        }
        for (OutputItem& output : source->outputs) {
            if (output.isMp3 == 1) {
                m_ctrl.AddRow(MergeEntryTexts(output, Count()), &output);
                ++added;
            }
        }
    }
    return added;
}

int32_t CMergeList::RemoveSelected() {
    const std::vector<int32_t> rows = m_ctrl.SelectedRows();
    if (rows.empty()) {
        return -1;
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        m_ctrl.RemoveRow(*it);
    }
    m_ctrl.Renumber(rows.front());
    return rows.front();
}

int32_t CMergeList::MoveUp() {
    const std::vector<int32_t> rows = m_ctrl.SelectedRows();
    if (rows.empty() || rows.front() == 0) {
        return -1;
    }
    // From the top down, so a block moves up whole and the row above it ends below it.
    for (const int32_t row : rows) {
        m_ctrl.SwapRows(row, row - 1);
    }
    const int32_t first = rows.front() - 1;
    m_ctrl.Renumber(first);
    return first;
}

int32_t CMergeList::MoveDown() {
    const std::vector<int32_t> rows = m_ctrl.SelectedRows();
    if (rows.empty() || rows.back() == Count() - 1) {
        return -1;
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        m_ctrl.SwapRows(*it, *it + 1);
    }
    m_ctrl.Renumber(rows.front());
    return rows.back() + 1;
}

void CMergeList::Clear() {
    m_ctrl.RemoveAllRows();
}

void CMergeList::SortByColumn(int32_t column) {
    m_ctrl.SortByColumn(column);
    m_ctrl.Renumber(0);
}

std::string CMergeList::PathAt(int32_t position) const {
    const OutputItem* item = EntryAt(position);
    return item ? item->path : std::string();
}

std::vector<const OutputItem*> CMergeList::Entries() const {
    std::vector<const OutputItem*> entries;
    entries.reserve(static_cast<size_t>(Count()));
    for (int32_t i = 0; i < Count(); ++i) {
        if (const OutputItem* item = EntryAt(i)) {
            entries.push_back(item);
        }
    }
    return entries;
}

bool CMergeList::Agree() const {
    return EntriesAgree(Entries());
}

std::string MergeTimeText(uint32_t sampleCount, uint32_t sampleRate) {
    uint32_t seconds = sampleRate == 0 ? 0 : sampleCount / sampleRate;
    if (seconds == 0) {
        seconds = 1;  // a sound shorter than a second still lasts
    }
    return Format("%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

std::vector<std::string> MergeEntryTexts(const OutputItem& item, int32_t position) {
    return {std::to_string(position + 1),
            FileNamePart(item.path),
            MergeTimeText(item.sampleCount, item.sampleRate),
            FrequencyText(item.sampleRate),
            ChannelsText(item.channels),
            Format("%d", item.bitsPerSample),
            item.path};
}

std::vector<std::string> MergeSourceTexts(const SourceItem& item, int32_t position) {
    return {std::to_string(position + 1), FileNamePart(item.path),
            SoundsText(static_cast<int>(item.outputs.size())), item.path};
}

}  // namespace kelvora
