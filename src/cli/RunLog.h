#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "engine/OutputNaming.h"

namespace kelvora {

// A file's size and SHA-256, as the log and --json give each output.
struct FileDigest {
    uint64_t size = 0;
    std::string sha256;  // lowercase hex; empty when the file could not be read
};
FileDigest DigestFile(const std::string& path);

// A source as a run finds it before converting it: a source recorded with another size or
// modification time has changed since.
struct SourceStamp {
    bool known = false;
    uint64_t size = 0;
    std::string mtime;  // ISO 8601 in UTC, to the nanosecond
};
SourceStamp StampOf(const std::string& path);

// A path in a log line: as text (a byte that is not UTF-8 becomes U+FFFD when the line is
// written), and, when it is not UTF-8, also exactly, as hex digits under `key` + "Bytes".
void PutPath(nlohmann::json& object, const std::string& key, const std::string& path);

// The log of a run of kelvora-cli --log: one JSON line per source as it finishes, appended and
// flushed at once, so that a killed run keeps every finished line whole. A later run with the
// same log skips what it records as done. Beside it, while a run goes on, the journal of the
// files and folders the run is making ("LOG.claims"): a run that starts after one that was
// killed removes what that one left unfinished, so that the sources it converts again take the
// very names one uninterrupted run gives them. The log is held locked: one run at a time.
class CRunLog : public ClaimRecorder {
  public:
    CRunLog() = default;
    ~CRunLog() override;
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens the log (made when missing) and reads what it records of runs with the same
    // `options` (those that shape the outputs). False, with a message, when it cannot.
    bool Open(const std::string& path, const std::string& options, std::string& message);
    // Removes what a killed run left: every file its journal says it made that is still that
    // very file (an empty one where it was killed while making it) and no recorded output, then
    // every folder it made that is left empty. Starts a new journal. Returns how many went.
    size_t RemoveUnfinished();
    // Whether the log records `source` as done: converted unchanged since (`stamp`), with
    // nothing a later run could add, and every output still there with its recorded size. A
    // source recorded unchanged but not done has its outputs that are still as recorded removed
    // (and the folders they leave empty below its own), so that it takes the same names again.
    bool Done(const std::string& source, const SourceStamp& stamp);
    // Appends one line; false when it could not be written whole.
    bool Append(const nlohmann::json& line);
    // The run is over: the journal goes.
    void Close();

    void Claiming(const std::string& path, bool folder) override;
    void Claimed(const std::string& path, uint64_t device, uint64_t inode) override;

  private:
    struct Output {
        std::string path;
        uint64_t size = 0;
        std::string sha256;
    };
    struct Record {
        uint64_t size = 0;
        std::string mtime;
        bool complete = false;
        std::vector<Output> outputs;
    };

    void Read(const std::string& options);
    void Journal(const std::string& line);

    std::string m_path;
    int m_fd = -1;
    int m_journal = -1;
    std::map<std::string, Record> m_records;  // by the source's exact path; the latest line
    std::set<std::string> m_outputs;          // every output any line records
    std::mutex m_mutex;
};

}  // namespace kelvora
