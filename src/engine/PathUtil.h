#pragma once

#include <string>
#include <string_view>

namespace kelvora {

inline constexpr char kPathSeparator = '/';

// True when a file or a folder of that name exists.
bool PathExists(const std::string& path);

// True when a directory entry of that name exists, whatever it is: a symbolic link that leads
// nowhere holds its name as much as a file does.
bool NameTaken(const std::string& path);

// True when the path exists and is a folder.
bool IsFolder(const std::string& path);

// The text after the last separator, or the whole path when it has none.
std::string FileNamePart(const std::string& path);

// The text from the last dot of the last path component on, dot included; empty ("none") when
// the path has no separator or its last component has no dot.
std::string ExtensionPart(const std::string& path);

// True when ExtensionPart(path) equals `ext` (".swf", ...) without regard to letter case.
bool HasExtension(const std::string& path, std::string_view ext);

// The folder of the running program, ending in a separator.
bool ProgramFolder(std::string& folder);

// Whether two paths name the same file: the same normalised absolute path, or, when both exist,
// the same file reached by other names (links, "..", another spelling of the folder).
bool SamePath(const std::string& a, const std::string& b);

// The path made absolute against the current folder and normalised ("a/../b" becomes "b").
std::string AbsolutePath(const std::string& path);

// Reads one level of a shortcut (a symbolic link): its target, a relative target taken from the
// link's folder. False when the path is no link or its target cannot be read.
bool ResolveShortcut(const std::string& path, std::string& target);

// ASCII lower case; file names are bytes, so only A-Z change.
std::string LowerAscii(std::string_view text);

}  // namespace kelvora
