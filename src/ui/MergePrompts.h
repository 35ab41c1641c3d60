#pragma once

#include "merge/CMp3Merger.h"
#include "ui/Shell.h"

namespace kelvora {

// Runs a merge as the merge window's Merge command does: the save dialog chooses the target,
// questions and failures are message boxes, and on success the result is offered to play.
MergeOutcome RunMergeWithShell(const CMp3Merger& merger, Shell& shell);

}  // namespace kelvora
