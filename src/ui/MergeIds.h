#pragma once

#include <cstdint>

namespace kelvora {

// The controls of the "Merge MP3" window. Buttons send their own number as the command.
enum MergeControlId : int32_t {
    kMergeSourceList = 1001,  // the SWF/FLV list (lower)
    kMergeMp3List = 1002,     // the MP3 list (upper)
    kMergeBtnMerge = 1029,
    kMergeBtnUp = 1031,
    kMergeBtnDown = 1032,
    kMergeBtnRemove = 1033,
    kMergeBtnRemoveAll = 1034,
    kMergeBtnAddMp3 = 1037,
    kMergeBtnAddAllMp3 = 1038,
    kMergeBtnPlayMp3 = 1039,
    kMergeBtnPlaySource = 1040,
    kMergeBtnHelp = 57670,
    kMergeBtnClose = 2,  // also Esc and the title bar's close box
};

}  // namespace kelvora
