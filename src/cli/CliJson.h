#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "convert/ConversionJob.h"
#include "convert/SoundInventory.h"
#include "engine/ConversionReport.h"
#include "cli/RunLog.h"
#include "engine/Records.h"

namespace kelvora {

// The objects of kelvora-cli's --json document, one per file; the README lists their fields.
// `optionName` names the every-format option in reasons.

// What --list tells of a file.
nlohmann::json ListingJson(const FileListing& listing, const std::string& optionName);
// What --info tells of a file: its header, or why it could not be read.
nlohmann::json InfoJson(const std::string& path, const SourceHeader& header, bool read,
                        const std::string& optionName);
// What a conversion of a file did; with `digests`, each output's size and SHA-256.
nlohmann::json ConversionJson(const SourceItem& item, bool converted,
                              const ConversionReport& report, const std::string& status,
                              const std::string& optionName,
                              const std::vector<FileDigest>* digests = nullptr);

// Writes the document: always valid UTF-8, as paths and a movie's strings may not be (a byte
// that is not UTF-8 becomes U+FFFD).
void WriteJsonDocument(std::ostream& out, const nlohmann::json& document);

}  // namespace kelvora
