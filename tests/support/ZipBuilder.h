#pragma once

#include <string>
#include <vector>

#include "support/Bytes.h"

namespace kelvora::test {

// One member of a ZIP archive: a file with its data, or a symbolic link to `linkTarget`.
struct ZipMember {
    std::string path;
    Bytes data;
    std::string linkTarget;
};

// A ZIP archive of the members, deflated, written by libarchive.
Bytes ZipOf(const std::vector<ZipMember>& members);

// An archive whose `copies` entries, each in a place of its own, all share the deflated `data`:
// each gives it whole while the archive holds it once (an archive bomb of overlapping files).
Bytes OverlappingZip(const Bytes& data, int copies);

}  // namespace kelvora::test
