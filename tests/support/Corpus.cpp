#include "support/Corpus.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelvora::test {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, '\t')) {
        cells.push_back(cell);
    }
    if (!line.empty() && line.back() == '\t') {
        cells.emplace_back();
    }
    return cells;
}

}  // namespace

std::string CorpusDir() {
    const std::string dir = KELVORA_CORPUS_DIR;
    std::error_code ec;
    if (dir.empty() || !std::filesystem::exists(dir + "/MANIFEST.tsv", ec)) {
        return {};
    }
    return dir;
}

std::string CorpusFile(const std::string& name) {
    return CorpusDir() + "/" + name;
}

std::string LinkCorpusFile(const std::string& name, const std::string& folder) {
    const std::string link = folder + "/" + name;
    std::error_code ec;
    std::filesystem::create_symlink(CorpusFile(name), link, ec);
    return link;
}

std::string TestDataDir() {
    return KELVORA_TEST_DATA_DIR;
}

std::vector<std::map<std::string, std::string>> ReadTsv(const std::string& path) {
    std::vector<std::map<std::string, std::string>> rows;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) {
        return rows;
    }
    const std::vector<std::string> header = SplitTabs(line);
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> cells = SplitTabs(line);
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size(); ++i) {
            row[header[i]] = i < cells.size() ? cells[i] : std::string();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace kelvora::test
