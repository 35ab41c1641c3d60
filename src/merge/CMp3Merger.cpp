#include "merge/CMp3Merger.h"

#include <memory>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/ReplacingFile.h"
#include "engine/TextFormat.h"

namespace kelvora {

namespace {

// Appends one whole file; any read error fails the join.
bool AppendFile(const std::string& path, CFile& out, uint8_t* buffer) {
    CFile in;
    return in.OpenRead(path) && CopyToEnd(in, out, buffer, CMp3Merger::kCopyBufferSize);
}

class BusyScope {
  public:
    explicit BusyScope(IMergePrompts& prompts) : m_prompts(prompts) { m_prompts.SetBusy(true); }
    ~BusyScope() { m_prompts.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    IMergePrompts& m_prompts;
};

// The command line's answers: the target is given, questions are answered by `assumeYes`, and
// the one text the window would have shown is kept.
class FixedPrompts : public IMergePrompts {
  public:
    FixedPrompts(const std::vector<OutputItem>& entries, const std::string& target, bool assumeYes,
                 std::string& message)
        : m_entries(entries), m_target(target), m_assumeYes(assumeYes), m_message(message) {}

    void Notify(const std::string& text) override { m_message = text; }
    bool IgnoreEncodingDifference(const std::string& question) override {
        if (!m_assumeYes) {
            m_message = question;
        }
        return m_assumeYes;
    }
    bool ChooseTarget(const std::string&, std::string& target) override {
        // The save dialog asks before an existing file is replaced. A listed file is left to
        // the duplicate check, whose message says more.
        if (!m_assumeYes && PathExists(m_target) && !IsFolder(m_target) && !IsListed()) {
            m_message = Format("File '%s' already exists.", m_target.c_str());
            return false;
        }
        target = m_target;
        return !target.empty();
    }
    void Merged(int32_t count, const std::string& target) override {
        m_message = MergeSuccessText(count, target);
    }

  private:
    bool IsListed() const {
        for (const OutputItem& entry : m_entries) {
            if (SamePath(m_target, entry.path)) {
                return true;
            }
        }
        return false;
    }

    const std::vector<OutputItem>& m_entries;
    std::string m_target;
    bool m_assumeYes;
    std::string& m_message;
};

}  // namespace

std::string MissingFileMessage(const std::string& path) {
    return Format("File '%s' don't exist.", path.c_str());
}

std::string EncodingWarning() {
    return "Some of MP3 files you are going to merge are in different encoding parameters (e.g. "
           "sample rate, channel or bitrate), which could cause playback problem of merged "
           "MP3.\n\nStrongly recommend you to remove the different encoding MP3 files or "
           "convert them to same encoding first before merge.\n\nDo you want to ignore this "
           "message and still merge?";
}

std::string DuplicateTargetMessage(const std::string& target) {
    return Format("Invalid file name. '%s' has existed in MP3 list.", FileNamePart(target).c_str());
}

std::string MergeFailedMessage() {
    return "Failed to merge all MP3 into single one. Maybe disk is full or some MP3 files "
           "didn't exist.";
}

std::string MergeSuccessText(int32_t count, const std::string& target) {
    return Format("Successfully merge %d MP3 files to '%s'.", count, FileNamePart(target).c_str());
}

std::string MergeSuccessQuestion(int32_t count, const std::string& target) {
    return MergeSuccessText(count, target) +
           Format("\n\nDo you want play '%s'?", FileNamePart(target).c_str());
}

bool EntriesAgree(const std::vector<const OutputItem*>& entries) {
    if (entries.size() < 2) {
        return true;
    }
    const OutputItem& first = *entries.front();
    for (size_t i = 1; i < entries.size(); ++i) {
        const OutputItem& e = *entries[i];
        if (e.sampleRate != first.sampleRate || e.bitsPerSample != first.bitsPerSample ||
            e.channels != first.channels) {
            return false;
        }
    }
    return true;
}

MergeOutcome CMp3Merger::Run(IMergePrompts& prompts) const {
    if (m_entries.size() < 2) {
        return MergeOutcome::TooFewEntries;
    }
    BusyScope busy(prompts);
    for (const OutputItem* entry : m_entries) {
        if (!PathExists(entry->path)) {
            prompts.Notify(MissingFileMessage(entry->path));
            return MergeOutcome::MissingFile;
        }
    }
    if (!EntriesAgree(m_entries) && !prompts.IgnoreEncodingDifference(EncodingWarning())) {
        return MergeOutcome::EncodingRefused;
    }
    std::string target;
    if (!prompts.ChooseTarget(m_entries.front()->path, target)) {
        return MergeOutcome::Cancelled;
    }
    // The same file by any name: writing it would destroy an entry while it is read.
    for (const OutputItem* entry : m_entries) {
        if (SamePath(target, entry->path)) {
            prompts.Notify(DuplicateTargetMessage(target));
            return MergeOutcome::DuplicateTarget;
        }
    }
    if (!Join(target)) {
        prompts.Notify(MergeFailedMessage());
        return MergeOutcome::Failed;
    }
    prompts.Merged(static_cast<int32_t>(m_entries.size()), target);
    return MergeOutcome::Merged;
}

bool CMp3Merger::Join(const std::string& target) const {
    CReplacingFile out;
    if (!out.Open(target)) {
        return false;
    }
    const auto buffer = std::make_unique<uint8_t[]>(kCopyBufferSize);
    for (const OutputItem* entry : m_entries) {
        if (!AppendFile(entry->path, out.File(), buffer.get())) {
            return false;
        }
    }
    return out.Commit();
}

MergeOutcome RunMergeWithoutDialogs(const std::vector<OutputItem>& entries,
                                    const std::string& target, bool assumeYes,
                                    std::string& message) {
    message.clear();
    std::vector<const OutputItem*> list;
    list.reserve(entries.size());
    for (const OutputItem& entry : entries) {
        list.push_back(&entry);
    }
    FixedPrompts prompts(entries, target, assumeYes, message);
    return CMp3Merger(std::move(list)).Run(prompts);
}

}  // namespace kelvora
