#pragma once

#include <string>
#include <vector>

namespace kelvora {

// Appends the SWF and FLV files of a folder tree to `paths`. The folder comes first, then its
// subfolders depth first (each folder before the folders below it, then its next sibling); only
// real folders are entered, never a symbolic link to one, so the search cannot loop. Within each
// folder come its SWF files, then its FLV files (extensions in any letter case), then the targets
// of its shortcuts: symbolic links whose own name is no SWF or FLV name, followed one level, whose
// target is a SWF or FLV file that is not itself a link. Names are sorted within each of these
// groups, so the result does not depend on the file system's order. A folder that cannot be read
// contributes nothing. With `projectors`, a folder's ".exe" files (regular files) follow its FLV
// files.
void FolderSearch(const std::string& folder, std::vector<std::string>& paths,
                  bool projectors = false);

// True when the path's extension is ".swf" or ".flv" in any letter case.
bool IsSwfOrFlvName(const std::string& path);

}  // namespace kelvora
