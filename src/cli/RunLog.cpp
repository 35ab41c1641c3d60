#include "cli/RunLog.h"

#include <errno.h>
#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "engine/File.h"
#include "engine/PathUtil.h"
#include "engine/TextFormat.h"

namespace kelvora {

namespace {

using Json = nlohmann::json;

std::string Hex(const uint8_t* data, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

std::string Hex(const std::string& bytes) {
    return Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool FromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

// The exact path PutPath wrote under `key`; empty when there is none.
std::string PathOf(const Json& object, const std::string& key) {
    std::string path;
    const auto bytes = object.find(key + "Bytes");
    if (bytes != object.end() && bytes->is_string() && FromHex(bytes->get<std::string>(), path)) {
        return path;
    }
    const auto text = object.find(key);
    return text != object.end() && text->is_string() ? text->get<std::string>() : std::string();
}

bool WriteWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool IsFileOf(const std::string& path, uint64_t size) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<uint64_t>(st.st_size) == size;
}

// Hands each line of a file to `take`, one at a time.
template <typename Take>
void ForEachLine(const std::string& path, Take take) {
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        take(line);
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

FileDigest DigestFile(const std::string& path) {
    FileDigest digest;
    CFile file;
    if (!file.OpenRead(path)) {
        return digest;
    }
    sha256_ctx context;
    sha256_init(&context);
    std::vector<uint8_t> buffer(256 * 1024);
    for (;;) {
        const int64_t n = file.Read(buffer.data(), buffer.size());
        if (n < 0) {
            return digest;
        }
        if (n == 0) {
            break;
        }
        sha256_update(&context, static_cast<size_t>(n), buffer.data());
        digest.size += static_cast<uint64_t>(n);
    }
    uint8_t sum[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof sum, sum);
    digest.sha256 = Hex(sum, sizeof sum);
    return digest;
}

SourceStamp StampOf(const std::string& path) {
    SourceStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return stamp;
    }
    std::tm utc{};
    if (!::gmtime_r(&st.st_mtim.tv_sec, &utc)) {
        return stamp;
    }
    char text[64];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%09ldZ", static_cast<long>(st.st_mtim.tv_nsec));
    stamp.known = true;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.mtime = text;
    return stamp;
}

void PutPath(Json& object, const std::string& key, const std::string& path) {
    object[key] = path;
    if (!IsUtf8(path)) {
        object[key + "Bytes"] = Hex(path);
    }
}

CRunLog::~CRunLog() {
    if (m_journal >= 0) {
        ::close(m_journal);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool CRunLog::Open(const std::string& path, const std::string& options, std::string& message) {
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        message = std::string("cannot open the log: ") + std::strerror(errno);
        return false;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        message = errno == EWOULDBLOCK ? "another run is using the log"
                                       : std::string("cannot lock the log: ") + std::strerror(errno);
        return false;
    }
    Read(options);
    return true;
}

void CRunLog::Read(const std::string& options) {
    // A line a killed run left unfinished is no record; the next line starts on a line of its own.
    struct stat st {};
    char last = '\n';
    if (::fstat(m_fd, &st) == 0 && st.st_size > 0 && ::pread(m_fd, &last, 1, st.st_size - 1) == 1 &&
        last != '\n') {
        WriteWhole(m_fd, "\n");
    }
    ForEachLine(m_path, [&](const std::string& line) {
        const Json object = Json::parse(line, nullptr, false);
        if (!object.is_object()) {
            return;
        }
        Record record;
        for (const Json& output : object.value("outputs", Json::array())) {
            if (!output.is_object()) {
                continue;
            }
            Output o{PathOf(output, "path"), output.value("size", uint64_t{0}),
                     output.value("sha256", std::string())};
            m_outputs.insert(o.path);
            record.outputs.push_back(std::move(o));
        }
        const std::string source = PathOf(object, "path");
        if (source.empty() || object.value("options", std::string()) != options) {
            return;
        }
        record.size = object.value("size", uint64_t{0});
        record.mtime = object.value("mtime", std::string());
        record.complete = object.value("complete", false);
        m_records[source] = std::move(record);
    });
}

size_t CRunLog::RemoveUnfinished() {
    const std::string journalPath = m_path + ".claims";
    struct Claim {
        bool folder = false;
        bool made = false;
        uint64_t device = 0;
        uint64_t inode = 0;
    };
    std::map<std::string, Claim> claims;
    ForEachLine(journalPath, [&](const std::string& line) {
        std::istringstream fields(line);
        std::string kind, hex, path;
        Claim claim;
        fields >> kind;
        if (kind == "M") {
            fields >> claim.device >> claim.inode;
            claim.made = true;
        }
        if (!(fields >> hex) || !FromHex(hex, path) || path.empty()) {
            return;
        }
        Claim& known = claims[path];
        claim.folder = kind == "D" || (kind == "M" && known.folder);
        known = claim;
    });
    size_t removed = 0;
    std::vector<std::pair<std::string, bool>> folders;  // and whether it is that very folder
    for (const auto& [path, claim] : claims) {
        struct stat st {};
        if (m_outputs.count(path) || ::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        const bool same = claim.made && st.st_dev == claim.device && st.st_ino == claim.inode;
        if (claim.folder) {
            if (S_ISDIR(st.st_mode)) {
                folders.emplace_back(path, same);
            }
        } else if (S_ISREG(st.st_mode) && (same || (!claim.made && st.st_size == 0)) &&
                   ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    // Deepest first. A folder of ours goes with the empty folders made in it; one that may be
    // another's only when it is empty.
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    for (const auto& [folder, same] : folders) {
        if (same) {
            RemoveEmptyFolders(folder);
        } else {
            RemoveFolderIfEmpty(folder);
        }
        removed += ::access(folder.c_str(), F_OK) != 0 ? 1 : 0;
    }
    m_journal = ::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC,
                       0666);
    return removed;
}

bool CRunLog::Done(const std::string& source, const SourceStamp& stamp) {
    const auto found = m_records.find(source);
    if (found == m_records.end() || !stamp.known || found->second.size != stamp.size ||
        found->second.mtime != stamp.mtime) {
        return false;
    }
    const Record& record = found->second;
    const bool allThere = std::all_of(record.outputs.begin(), record.outputs.end(),
                                      [](const Output& o) { return IsFileOf(o.path, o.size); });
    if (record.complete && allThere) {
        return true;
    }
    // Converted again: what it wrote before, where still as it was, makes way for the same names.
    const std::string home = FolderOf(source) + "/";
    for (const Output& o : record.outputs) {
        if (!IsFileOf(o.path, o.size) || DigestFile(o.path).sha256 != o.sha256 ||
            ::unlink(o.path.c_str()) != 0) {
            continue;
        }
        for (std::string folder = FolderOf(o.path);
             folder.size() > home.size() && folder.compare(0, home.size(), home) == 0 &&
             RemoveFolderIfEmpty(folder);
             folder = FolderOf(folder)) {
        }
    }
    return false;
}

bool CRunLog::Append(const Json& line) {
    const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd >= 0 && WriteWhole(m_fd, text);
}

void CRunLog::Journal(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_journal >= 0) {
        WriteWhole(m_journal, line);
    }
}

void CRunLog::Claiming(const std::string& path, bool folder) {
    Journal(std::string(folder ? "D " : "F ") + Hex(path) + "\n");
}

void CRunLog::Claimed(const std::string& path, uint64_t device, uint64_t inode) {
    Journal("M " + std::to_string(device) + " " + std::to_string(inode) + " " + Hex(path) + "\n");
}

void CRunLog::Close() {
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
        ::unlink((m_path + ".claims").c_str());
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace kelvora
