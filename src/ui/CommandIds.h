#pragma once

#include <cstdint>

namespace kelvora {

// The program's commands: buttons, menu items, accelerators and double-clicks all arrive as one
// of these numbers (the main window's resource identifiers).
enum CommandId : int32_t {
    kCmdAddFiles = 1000,
    kCmdAddFolder = 1003,
    kCmdRemove = 1004,
    kCmdRemoveAll = 1005,
    kCmdPlayOutput = 1006,
    kCmdMinimize = 1008,
    kCmdHelpButton = 1009,
    kCmdConvertSelectedToMp3 = 1010,
    kCmdConvertAllToMp3 = 1012,
    kCmdSaveAs = 1018,
    kCmdAbout = 1021,
    kCmdClose = 1023,
    kCmdDeleteOutputs = 1026,
    kCmdConvertAllToWav = 1027,
    kCmdMergeMp3 = 1029,
    kCmdPlaySource = 32771,
    kCmdBrowseOutputFolder = 32777,
    kCmdBrowseSourceFolder = 32778,
    kCmdTellAFriend = 32782,
    kCmdFeedback = 32783,
    kCmdHomepage = 32784,
    kCmdCheckLatestVersion = 32785,
    kCmdConvertSelectedToWav = 32793,
    kCmdOptions = 32800,
    kCmdHelpTopics = 57670,
};

// The toolbar image that has no menu item (its place in the icon strip is kept).
inline constexpr int32_t kCmdIconWithoutItem = 32780;

// Controls of the main window.
inline constexpr int32_t kSourceListId = 1001;
inline constexpr int32_t kOutputListId = 1002;

}  // namespace kelvora
