#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Records.h"

namespace kelvora {

// How a merge run ended.
enum class MergeOutcome {
    TooFewEntries,    // fewer than two entries: nothing was done
    MissingFile,      // a listed file does not exist
    EncodingRefused,  // the entries differ in encoding and the user did not go on
    Cancelled,        // no target was chosen
    DuplicateTarget,  // the target is one of the listed files
    Failed,           // the join failed
    Merged,
};

// The points where a merge run reports to or asks the user. The merge window answers them with
// message boxes and the save dialog; the command line answers them from its arguments.
class IMergePrompts {
  public:
    virtual ~IMergePrompts() = default;
    // Shown from the existence check to the end of the run.
    virtual void SetBusy(bool /*busy*/) {}
    // A warning with an OK button: a missing file, a refused target, a failed join.
    virtual void Notify(const std::string& text) = 0;
    // The encoding warning; true to merge anyway.
    virtual bool IgnoreEncodingDifference(const std::string& question) = 0;
    // The target; `proposed` is the first entry's path. False ends the run.
    virtual bool ChooseTarget(const std::string& proposed, std::string& target) = 0;
    // The join of `count` files into `target` succeeded.
    virtual void Merged(int32_t count, const std::string& target) = 0;
};

// Joins MP3 files into one, byte for byte in list order: no frame, tag or header is parsed,
// so each file's tags stay where they were inside the result. Runs the merge window's Merge
// command and the command line's merge through one sequence of checks and the same join.
class CMp3Merger {
  public:
    static constexpr size_t kCopyBufferSize = 524288;

    explicit CMp3Merger(std::vector<const OutputItem*> entries) : m_entries(std::move(entries)) {}

    // The Merge command: every file must exist; differing encodings are confirmed; the target
    // is chosen, and must not be one of the listed files (by any path); then the join, and the
    // success is told. Reports and asks through `prompts`.
    MergeOutcome Run(IMergePrompts& prompts) const;

    // Writes the files into a temporary file beside the target and renames it over the target
    // only when every byte was read and written: a failed join leaves neither a partial result
    // nor a changed target. Fails for a target that is a folder or another kind of non-file,
    // for a folder that cannot be written, and for any read error in a listed file.
    bool Join(const std::string& target) const;

  private:
    std::vector<const OutputItem*> m_entries;
};

// True when every entry has the sample rate, sample size and channels of the first.
bool EntriesAgree(const std::vector<const OutputItem*>& entries);

// The merge's messages, shared by the window and the command line.
std::string MissingFileMessage(const std::string& path);
std::string EncodingWarning();
std::string DuplicateTargetMessage(const std::string& target);
std::string MergeFailedMessage();
std::string MergeSuccessText(int32_t count, const std::string& target);
std::string MergeSuccessQuestion(int32_t count, const std::string& target);

// The merge of `entries` into `target` without dialogs, for the command line: the same checks
// and join as the window. Where the window would ask (merge despite differing encodings;
// replace an existing file), it goes on only with `assumeYes`. `message` receives the text the
// window would have shown (for success the notice without the offer to play; for an existing
// target refused, "File '%s' already exists."), or is emptied when there is none.
MergeOutcome RunMergeWithoutDialogs(const std::vector<OutputItem>& entries,
                                    const std::string& target, bool assumeYes,
                                    std::string& message);

}  // namespace kelvora
