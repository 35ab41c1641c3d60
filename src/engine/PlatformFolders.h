#pragma once

#include <string>

namespace kelvora {

// The user's documents folder, created when it is missing (unless `create` is false):
// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else
// $HOME/Documents. The result has no trailing separator. False when there is no home folder to
// start from or the folder cannot be made.
bool DocumentsFolder(std::string& folder, bool create = true);

}  // namespace kelvora
