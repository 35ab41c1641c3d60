#include "cli/Cli.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <ostream>
#include <thread>

#include "cli/CliJson.h"
#include "cli/ProgressLine.h"
#include "cli/RunLog.h"
#include "convert/Batch.h"
#include "convert/ColumnTexts.h"
#include "convert/ConversionJob.h"
#include "convert/SoundInventory.h"
#include "engine/FolderSearch.h"
#include "engine/PathUtil.h"
#include "engine/SoundFormat.h"
#include "engine/SourceIndex.h"
#include "engine/Version.h"
#include "merge/CMp3Merger.h"

namespace kelvora {

namespace {

constexpr const char* kProgram = "kelvora-cli";
const std::string kAllFormatsOption = "--all-formats";

// What a run does, from its arguments.
struct Run {
    enum class Mode { Convert, Info, List };
    Mode mode = Mode::Convert;
    bool toMp3 = true;
    bool json = false;
    bool assumeYes = false;
    unsigned jobs = 1;
    ConversionOptions options;
    std::string mergeTarget;
    std::string logPath;
    bool errIsTerminal = false;
};

// The options that shape what a conversion writes, as a log records them: a run skips only
// what a run with the same ones did.
std::string OutputOptions(const Run& run) {
    const ConversionOptions& o = run.options;
    std::string text = "--to ";
    text += o.ownCoding ? "original" : o.flac ? "flac" : run.toMp3 ? "mp3" : "wav";
    text += o.allFormats ? " --all-formats" : "";
    text += o.linkageNames ? " --names linkage" : "";
    text += o.keepTiming ? " --keep-timing" : "";
    text += o.embedded ? " --embedded" : "";
    return text;
}

void PrintUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " [OPTION...] [--merge FILE.mp3 [--yes]] PATH...\n"
        << "  or:  " << kProgram << " --info [--all-formats] [--embedded] [--json] PATH...\n"
        << "  or:  " << kProgram << " --list [OPTION...] PATH...\n"
        << "Take the sound out of Flash media: every event sound and sound stream of a SWF\n"
        << "movie, and the audio track of an FLV video, become MP3 or WAV files next to them.\n"
        << "\n"
        << "A PATH that is a folder stands for the SWF and FLV files in it and below it.\n"
        << "\n"
        << "  --to FORMAT  convert to mp3 (the default) or wav; or to flac (the WAV\n"
        << "               target's samples, losslessly packed and tagged), or to original:\n"
        << "               each sound in its own coding, never encoded again, tagged (MP3\n"
        << "               copied behind an Info frame for gapless playing, AAC copied into\n"
        << "               .m4a, Speex into .ogg, the rest decoded into FLAC)\n"
        << "  --merge FILE.mp3\n"
        << "               then join the MP3 files written, in order, into FILE.mp3 (the\n"
        << "               merge window's checks: every file must exist, and files that differ\n"
        << "               in sample rate, sample size or channels, or a FILE that exists, are\n"
        << "               refused unless --yes is given)\n"
        << "  --yes        answer yes where the merge would ask\n"
        << "  -j, --jobs N convert N files at a time (default: the number of processors);\n"
        << "               the output comes in the order of the files given\n"
        << "  --all-formats\n"
        << "               also read LZMA-compressed movies and convert Nellymoser, Speex,\n"
        << "               AAC and G.711 sound\n"
        << "  --names linkage\n"
        << "               name the sounds a movie names after those names (ExportAssets,\n"
        << "               SymbolClass); the others keep their numbers\n"
        << "  --keep-timing\n"
        << "               keep the silences of sound streams' timelines, and drop from MP3\n"
        << "               sound going to WAV what is no sound (encoder latency, decoder\n"
        << "               delay)\n"
        << "  --embedded   also read movies inside other files: movies a movie embeds,\n"
        << "               projectors (.exe, or no extension; folders give their .exe files)\n"
        << "               and SWC and ZIP archives, whose outputs go to a folder named after\n"
        << "               them\n"
        << "  --list       list the sounds of each file instead of converting, one line each:\n"
        << "               file, output name, event/stream/track, timeline, character id,\n"
        << "               format, rate, bits, channels, sample frames, length, linkage\n"
        << "               names and what a conversion with the options given would do\n"
        << "  --json       print one JSON document instead of the text lines (with --list,\n"
        << "               --info or a conversion); outputs carry their size and SHA-256\n"
        << "  --log FILE   append a JSON line to FILE for each file as it finishes (its\n"
        << "               --json object, the outputs' SHA-256, the file's size and time);\n"
        << "               skip the files FILE records as done, after removing what a killed\n"
        << "               run left unfinished: a run started again after a kill ends with\n"
        << "               the files of one uninterrupted run\n"
        << "  --info       print the header of each file instead of converting: file,\n"
        << "               version, frame size, length, frame rate, frame count and path,\n"
        << "               separated by tabs (an FLV video has a version only)\n"
        << "  --help       display this help and exit\n"
        << "  --version    output version information and exit\n"
        << "\n"
        << "Each converted file prints \"[k/N] Converting NAME... STATUS\", then one line per\n"
        << "output file: file, format, length, bits, frequency, channels and path.\n"
        << "Exit status: 0 when every file converted (or was read), 1 when any failed,\n"
        << "2 for a usage error.\n";
}

void PrintVersion(std::ostream& out) {
    out << kProgram << " (Kelvora) " << kVersionText << "\n";
}

int UsageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n"
        << "Try '" << kProgram << " --help' for more information.\n";
    return kExitUsage;
}

void PrintInfoRow(std::ostream& out, const std::string& path, const SourceInfoTexts& t) {
    out << FileNamePart(path) << '\t' << t.version << '\t' << t.dimension << '\t' << t.length
        << '\t' << t.rate << '\t' << t.frames << '\t' << path << '\n';
}

// Tells on standard error what the report holds: "kelvora-cli: NAME: REASON", a line each.
void PrintReport(std::ostream& err, const std::string& path, const ConversionReport& report) {
    for (const std::string& line : DescribeReport(report, kAllFormatsOption)) {
        err << kProgram << ": " << FileNamePart(path) << ": " << line << '\n';
    }
}

int RunInfo(const std::vector<std::string>& paths, const Run& run, std::ostream& out,
            std::ostream& err) {
    int status = kExitOk;
    nlohmann::json document = nlohmann::json::array();
    for (const std::string& given : paths) {
        const std::string path = AbsolutePath(given);
        SourceHeader header;
        const bool read = ReadSourceHeader(path, run.options, header);
        if (!read) {
            status = kExitFailed;
        }
        if (run.json) {
            document.push_back(InfoJson(path, header, read, kAllFormatsOption));
        } else if (read) {
            PrintInfoRow(out, path, HeaderTexts(header));
        } else {
            PrintReport(err, path, header.report);
        }
    }
    if (run.json) {
        WriteJsonDocument(out, document);
    }
    return status;
}

// A field of the text listing on one line: a line break, tab or other control character in a
// name is written escaped (\n, \t, \r, \xNN), so that every sound keeps its one line.
std::string ListingField(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7F) {
            out += Format("\\x%02X", u);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Lists the sounds of each file, writing nothing.
int RunList(const std::vector<std::string>& paths, const Run& run, std::ostream& out,
            std::ostream& err) {
    int status = kExitOk;
    nlohmann::json document = nlohmann::json::array();
    for (const std::string& given : paths) {
        const FileListing listing =
            ListSounds(AbsolutePath(given), run.options, run.toMp3);
        if (!listing.read) {
            status = kExitFailed;
        }
        if (run.json) {
            document.push_back(ListingJson(listing, kAllFormatsOption));
            continue;
        }
        if (!listing.read) {
            PrintReport(err, listing.path, listing.report);
        } else {
            for (const std::string& line : DescribeInnerFailures(listing.report, kAllFormatsOption)) {
                err << kProgram << ": " << FileNamePart(listing.path) << ": " << line << '\n';
            }
        }
        for (const PlannedSound& s : listing.sounds) {
            std::string names;
            for (const std::string& name : s.names) {
                names += (names.empty() ? "" : ",") + name;
            }
            // Kept in its own coding, a sound's file has an extension of its own: it is shown.
            std::string outputName = OutputNameText(s);
            if (run.options.ownCoding && !outputName.empty()) {
                outputName += OutputExtension(s.output.format);
            }
            const OutputItem& o = s.output;
            out << ListingField(s.from.empty() ? FileNamePart(listing.path) : s.from) << '\t'
                << (outputName.empty() ? "-" : ListingField(outputName)) << '\t' << KindText(s)
                << '\t' << TimelineText(s) << '\t' << CharacterIdText(s) << '\t'
                << SoundFormatName(s.format) << '\t' << o.sampleRate << '\t' << o.bitsPerSample
                << '\t' << o.channels << '\t' << o.sampleCount << '\t'
                << PreciseLengthText(o.sampleCount, o.sampleRate) << '\t'
                << (names.empty() ? "-" : ListingField(names)) << '\t'
                << (s.Converted() ? "converted" : "skipped: " + SkipText(s, kAllFormatsOption))
                << '\n';
        }
    }
    if (run.json) {
        WriteJsonDocument(out, document);
    }
    return status;
}

void PrintOutputRow(std::ostream& out, const OutputItem& item) {
    const OutputTexts t = OutputRowTexts(item);
    out << t.file << '\t' << t.format << '\t' << t.length << '\t' << t.bits << '\t' << t.frequency
        << '\t' << t.channels << '\t' << t.path << '\n';
}

// What a run keeps of each file as it finishes, on the worker that converted it, before the
// worker takes another: its JSON object with its outputs' digests (for --json and the log) and
// its log line, so that the log's lines come in the order files finish and each comes before any
// file that waited for it.
class CFinishedFiles : public CBatch::Listener {
  public:
    CFinishedFiles(const std::vector<SourceItem>& items, const Run& run, CRunLog* log,
                   std::vector<SourceStamp> stamps)
        : m_items(items),
          m_log(log),
          m_stamps(std::move(stamps)),
          m_options(OutputOptions(run)),
          m_described(run.json || log),
          m_objects(items.size()),
          m_recorded(items.size(), false) {}

    void FileDone(size_t k, const CBatch::Result& result) override {
        const SourceItem& item = m_items[k];
        nlohmann::json object;
        if (m_described) {
            std::vector<FileDigest> digests;
            for (const OutputItem& output : item.outputs) {
                digests.push_back(DigestFile(output.path));
            }
            object = ConversionJson(item, result.converted, result.report,
                                    ConversionStatusText(result.converted, item),
                                    kAllFormatsOption, &digests);
        }
        bool written = true;
        if (m_log) {
            nlohmann::json line = object;
            PutPath(line, "path", item.path);
            for (size_t i = 0; i < item.outputs.size(); ++i) {
                PutPath(line["outputs"][i], "path", item.outputs[i].path);
            }
            line["size"] = m_stamps[k].size;
            line["mtime"] = m_stamps[k].mtime;
            line["options"] = m_options;
            line["complete"] = m_stamps[k].known && !MayGiveMoreLater(result.report);
            written = m_log->Append(line);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_objects[k] = std::move(object);
        m_recorded[k] = true;
        ++m_done;
        m_outputs += item.outputs.size();
        m_failed += result.converted ? 0 : 1;
        m_logFailed = m_logFailed || !written;
        m_changed.notify_all();
    }
    void BatchOver() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_over = true;
        m_changed.notify_all();
    }

    // Waits until file `k` is kept (or nothing is left to keep), and hands over its object.
    nlohmann::json WaitFor(size_t k) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_recorded[k] || m_over; });
        return std::move(m_objects[k]);
    }
    void Show(CProgressLine& progress, bool now = false) {
        std::lock_guard<std::mutex> lock(m_mutex);
        progress.Update(m_done, m_outputs, m_failed, now);
    }
    void Finish(CProgressLine& progress) {
        std::lock_guard<std::mutex> lock(m_mutex);
        progress.Finish(m_done, m_outputs, m_failed);
    }
    bool LogFailed() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_logFailed;
    }

  private:
    const std::vector<SourceItem>& m_items;
    CRunLog* m_log;
    std::vector<SourceStamp> m_stamps;
    std::string m_options;
    bool m_described;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<nlohmann::json> m_objects;
    std::vector<bool> m_recorded;
    bool m_over = false;
    bool m_logFailed = false;
    size_t m_done = 0, m_outputs = 0, m_failed = 0;
};

// With a log, the files it records as done are left out (after what a killed run left
// unfinished is removed), and the rest are stamped as they are found; says what it skipped.
bool ResumeFromLog(CRunLog& log, const Run& run, std::vector<std::string>& paths,
                   std::vector<SourceStamp>& stamps, std::ostream& err) {
    std::string message;
    if (!log.Open(run.logPath, OutputOptions(run), message)) {
        err << kProgram << ": " << run.logPath << ": " << message << '\n';
        return false;
    }
    const size_t removed = log.RemoveUnfinished();
    if (removed > 0) {
        err << kProgram << ": removed " << removed
            << " unfinished file(s) or folder(s) a run that was stopped left\n";
    }
    std::vector<std::string> rest;
    for (const std::string& path : paths) {
        SourceStamp stamp = StampOf(path);
        if (!log.Done(path, stamp)) {
            rest.push_back(path);
            stamps.push_back(std::move(stamp));
        }
    }
    if (rest.size() < paths.size()) {
        err << kProgram << ": skipped " << paths.size() - rest.size()
            << " file(s) the log records as done\n";
    }
    paths = std::move(rest);
    return true;
}

// Converts each file as a batch does, `jobs` files at a time, each worker with readers of its
// own; the converted items are kept in `items`, in order. What is printed and the names written
// are exactly those of one file at a time.
int RunConvert(std::vector<std::string> paths, const Run& run, std::ostream& out,
               std::ostream& err, std::vector<SourceItem>& items) {
    CRunLog log;
    std::vector<SourceStamp> stamps;
    if (!run.logPath.empty() && !ResumeFromLog(log, run, paths, stamps, err)) {
        return kExitFailed;
    }
    const size_t total = paths.size();
    items.clear();
    for (const std::string& given : paths) {
        const std::string path = AbsolutePath(given);
        SourceKind kind = SourceKind::Swf;
        SourceKindOf(path, run.options.embedded, kind);
        items.emplace_back(kind, path);
    }
    std::vector<SourceItem*> batchItems;
    for (SourceItem& item : items) {
        batchItems.push_back(&item);
    }
    const bool logged = !run.logPath.empty();
    CFinishedFiles finished(items, run, logged ? &log : nullptr, std::move(stamps));
    CProgressLine progress(err, run.errIsTerminal && (run.json || logged), total);
    CBatch batch(batchItems, run.toMp3, run.options, run.jobs, &finished);
    if (logged) {
        SetClaimRecorder(&log);
    }
    batch.Start();

    int status = kExitOk;
    nlohmann::json document = nlohmann::json::array();
    for (size_t k = 0; k < total; ++k) {
        const SourceItem& item = items[k];
        const std::string heading =
            Format("[%zu/%zu] Converting %s...", k + 1, total, FileNamePart(item.path).c_str());
        if (!run.json && !progress.Shown()) {
            out << heading;
            out.flush();
        }
        if (progress.Shown()) {
            while (!batch.WaitFor(k, std::chrono::milliseconds(100))) {
                finished.Show(progress);
            }
        } else {
            batch.WaitFor(k);
        }
        nlohmann::json object = finished.WaitFor(k);
        const CBatch::Result result = batch.ResultOf(k);
        if (!result.converted) {
            status = kExitFailed;
        }
        if (run.json) {
            document.push_back(std::move(object));
            finished.Show(progress);
            continue;
        }
        const std::string text = ConversionStatusText(result.converted, item);
        progress.Clear();
        if (progress.Shown()) {
            out << heading;
        }
        out << ' ' << text << '\n';
        out.flush();
        PrintReport(err, item.path, result.report);
        for (const OutputItem& output : item.outputs) {
            PrintOutputRow(out, output);
        }
        out.flush();
        finished.Show(progress, true);
    }
    finished.Finish(progress);
    if (logged) {
        SetClaimRecorder(nullptr);
        if (finished.LogFailed()) {
            err << kProgram << ": " << run.logPath << ": a line could not be written\n";
            status = kExitFailed;
        }
        log.Close();
    }
    if (run.json) {
        WriteJsonDocument(out, document);
    }
    return status;
}

// Joins the MP3 outputs of the batch, in order, as the merge window's "Add All MP3" and "Merge"
// would: the same checks and messages. Where the window would ask, only `assumeYes` goes on.
int RunMerge(const std::vector<SourceItem>& items, const std::string& target, bool assumeYes,
             std::ostream& out, std::ostream& err) {
    std::vector<OutputItem> entries;
    for (const SourceItem& item : items) {
        for (const OutputItem& output : item.outputs) {
            if (output.isMp3 == 1) {
                entries.push_back(output);
            }
        }
    }
    std::string message;
    const MergeOutcome outcome =
        RunMergeWithoutDialogs(entries, AbsolutePath(target), assumeYes, message);
    if (outcome == MergeOutcome::Merged) {
        out << message << '\n';
        return kExitOk;
    }
    if (outcome == MergeOutcome::TooFewEntries) {
        message = "there aren't two MP3 files to merge";
    } else if (!assumeYes &&
               (outcome == MergeOutcome::EncodingRefused || outcome == MergeOutcome::Cancelled)) {
        message += "\n(use --yes to merge anyway)";
    }
    err << kProgram << ": " << message << '\n';
    return kExitFailed;
}

// The files to work on: a folder stands for the SWF and FLV files found in it and below it, as
// Add Folder searches them; other paths are made absolute. A file named twice, by any path to
// it, is taken once, as the window lists it once.
std::vector<std::string> ExpandPaths(const std::vector<std::string>& given, bool projectors) {
    std::vector<std::string> found;
    for (const std::string& arg : given) {
        const std::string path = AbsolutePath(arg);
        if (IsFolder(path)) {
            FolderSearch(path, found, projectors);
        } else {
            found.push_back(path);
        }
    }
    std::deque<SourceItem> seen;
    CSourceIndex index;
    std::vector<std::string> paths;
    for (std::string& path : found) {
        if (index.Find(path)) {
            continue;
        }
        seen.emplace_back(SourceKind::Swf, path);
        index.Add(&seen.back());
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
    Run run;
    run.errIsTerminal = errIsTerminal;
    run.jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> paths;
    bool optionsDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An option with a value takes it as "--name=value" or as the next argument.
        std::string value;
        const auto takes = [&](const std::string& name) {
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    return false;
                }
                value = args[++i];
                return true;
            }
            value = arg.substr(name.size() + 1);
            return true;
        };
        const auto is = [&arg](const std::string& name) {
            return arg == name || arg.rfind(name + "=", 0) == 0;
        };
        if (optionsDone || arg.empty() || arg[0] != '-' || arg == "-") {
            paths.push_back(arg);
        } else if (arg == "--") {
            optionsDone = true;
        } else if (arg == "--help") {
            PrintUsage(out);
            return kExitOk;
        } else if (arg == "--version") {
            PrintVersion(out);
            return kExitOk;
        } else if (arg == "--info") {
            run.mode = Run::Mode::Info;
        } else if (arg == "--list") {
            run.mode = Run::Mode::List;
        } else if (arg == "--json") {
            run.json = true;
        } else if (arg == kAllFormatsOption) {
            run.options.allFormats = true;
        } else if (arg == "--keep-timing") {
            run.options.keepTiming = true;
        } else if (arg == "--embedded") {
            run.options.embedded = true;
        } else if (arg == "--yes") {
            run.assumeYes = true;
        } else if (is("-j") || is("--jobs") || (arg.size() > 2 && arg.rfind("-j", 0) == 0)) {
            if (arg.rfind("-j", 0) == 0 && arg.size() > 2 && arg[2] != '=') {
                value = arg.substr(2);
            } else if (!takes(arg.rfind("--jobs", 0) == 0 ? "--jobs" : "-j")) {
                return UsageError(err, "option '" + arg + "' requires an argument");
            }
            char* end = nullptr;
            const unsigned long n = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > kMaxJobs) {
                return UsageError(err, "invalid number of jobs '" + value + "'");
            }
            run.jobs = static_cast<unsigned>(n);
        } else if (is("--merge")) {
            if (!takes("--merge")) {
                return UsageError(err, "option '--merge' requires an argument");
            }
            run.mergeTarget = value;
            if (run.mergeTarget.empty()) {
                return UsageError(err, "option '--merge' requires a file name");
            }
        } else if (is("--log")) {
            if (!takes("--log") || value.empty()) {
                return UsageError(err, "option '--log' requires a file name");
            }
            run.logPath = value;
        } else if (is("--to")) {
            if (!takes("--to")) {
                return UsageError(err, "option '--to' requires an argument");
            }
            const std::string target = LowerAscii(value);
            if (target == "mp3" || target == "wav" || target == "flac" || target == "original") {
                run.toMp3 = target == "mp3" || target == "original";
                run.options.flac = target == "flac";
                run.options.ownCoding = target == "original";
            } else {
                return UsageError(err,
                                  "invalid format '" + value + "' (use mp3, wav, flac or original)");
            }
        } else if (is("--names")) {
            if (!takes("--names")) {
                return UsageError(err, "option '--names' requires an argument");
            }
            if (value != "linkage" && value != "number") {
                return UsageError(err, "invalid naming '" + value + "' (use linkage or number)");
            }
            run.options.linkageNames = value == "linkage";
        } else {
            return UsageError(err, "unrecognized option '" + arg + "'");
        }
    }
    if (paths.empty()) {
        return UsageError(err, "missing file operand");
    }
    if (run.mode != Run::Mode::Convert && !run.mergeTarget.empty()) {
        return UsageError(err, "--merge converts; it cannot go with --info or --list");
    }
    if (!run.logPath.empty() && (run.mode != Run::Mode::Convert || !run.mergeTarget.empty())) {
        return UsageError(err, "--log records conversions; it cannot go with --info, --list or "
                               "--merge");
    }
    const std::vector<std::string> files = ExpandPaths(paths, run.options.embedded);
    if (run.mode == Run::Mode::Info) {
        return RunInfo(files, run, out, err);
    }
    if (run.mode == Run::Mode::List) {
        return RunList(files, run, out, err);
    }
    std::vector<SourceItem> items;
    const int status = RunConvert(files, run, out, err, items);
    if (run.mergeTarget.empty()) {
        return status;
    }
    // The document on standard output stays one document: the merge tells on standard error.
    const int merged = RunMerge(items, run.mergeTarget, run.assumeYes, run.json ? err : out, err);
    return status != kExitOk ? status : merged;
}

}  // namespace kelvora
