#include "cli/Cli.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <numeric>
#include <ostream>
#include <thread>

#include "convert/BatchPlan.h"
#include "convert/ConversionJob.h"
#include "engine/PathUtil.h"
#include "engine/SourceIndex.h"
#include "engine/Version.h"
#include "flv/CFlvReader.h"
#include "merge/CMp3Merger.h"
#include "swf/CSwfReader.h"
#include "ui/ColumnTexts.h"
#include "ui/FolderSearch.h"

namespace kelvora {

namespace {

constexpr const char* kProgram = "kelvora-cli";
const std::string kAllFormatsOption = "--all-formats";

void PrintUsage(std::ostream& out) {
    out << "Usage: " << kProgram
        << " [-j N] [--to mp3|wav] [--all-formats] [--merge FILE.mp3 [--yes]] PATH...\n"
        << "  or:  " << kProgram << " --info [--all-formats] PATH...\n"
        << "Take the sound out of Flash media: every event sound and sound stream of a SWF\n"
        << "movie, and the audio track of an FLV video, become MP3 or WAV files next to them.\n"
        << "\n"
        << "A PATH that is a folder stands for the SWF and FLV files in it and below it.\n"
        << "\n"
        << "  --to FORMAT  convert to mp3 (the default) or wav\n"
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

int RunInfo(const std::vector<std::string>& paths, const ConversionOptions& options,
            std::ostream& out, std::ostream& err) {
    int status = kExitOk;
    for (const std::string& given : paths) {
        const std::string path = AbsolutePath(given);
        ConversionReport report;
        if (HasExtension(path, ".swf")) {
            SwfMovieInfo info;
            CSwfReader reader;
            reader.SetOptions(options);
            if (reader.ReadInfo(path, &info)) {
                PrintInfoRow(out, path, SwfInfoTexts(info));
                continue;
            }
            report = reader.Report();
        } else if (HasExtension(path, ".flv")) {
            CFlvReader reader;
            if (reader.Open(path, true)) {
                PrintInfoRow(out, path, FlvInfoTexts(reader.Version()));
                continue;
            }
            report = reader.Report();
        } else {
            report.Fail(Failure::NotSwfOrFlv);
        }
        PrintReport(err, path, report);
        status = kExitFailed;
    }
    return status;
}

void PrintOutputRow(std::ostream& out, const OutputItem& item) {
    const OutputTexts t = OutputRowTexts(item);
    out << t.file << '\t' << t.format << '\t' << t.length << '\t' << t.bits << '\t' << t.frequency
        << '\t' << t.channels << '\t' << t.path << '\n';
}

// Converts each file as a batch does, `jobs` files at a time, each worker with readers of its
// own; the converted items are kept in `items`, in order. What is printed and the names written
// are exactly those of one file at a time.
int RunConvert(const std::vector<std::string>& paths, bool toMp3, unsigned jobs,
               const ConversionOptions& options, std::ostream& out, std::ostream& err,
               std::vector<SourceItem>& items) {
    struct Slot {
        SourceItem item{SourceKind::Swf, ""};
        bool converted = false;
        bool done = false;
        ConversionReport report;
    };
    const size_t total = paths.size();
    std::vector<Slot> slots(total);
    for (size_t k = 0; k < total; ++k) {
        slots[k].item.path = AbsolutePath(paths[k]);
        slots[k].item.kind =
            HasExtension(slots[k].item.path, ".flv") ? SourceKind::Flv : SourceKind::Swf;
    }
    const size_t count = std::max<size_t>(1, std::min<size_t>(jobs, total));
    // Sources that can claim the same names go to one worker, in order; one worker needs no plan.
    std::vector<std::vector<size_t>> groups;
    if (count > 1) {
        std::vector<const SourceItem*> items;
        for (const Slot& slot : slots) {
            items.push_back(&slot.item);
        }
        groups = PlanConversionGroups(items);
    } else {
        groups.emplace_back(total);
        std::iota(groups.back().begin(), groups.back().end(), size_t{0});
    }
    std::mutex mutex;
    std::condition_variable doneSignal;
    size_t nextGroup = 0;
    auto worker = [&] {
        CSwfReader swf;
        CFlvReader flv;
        swf.SetOptions(options);
        flv.SetOptions(options);
        for (;;) {
            size_t g;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (nextGroup >= groups.size()) {
                    return;
                }
                g = nextGroup++;
            }
            for (const size_t k : groups[g]) {
                Slot& slot = slots[k];
                const std::string& path = slot.item.path;
                const bool known = HasExtension(path, ".swf") || HasExtension(path, ".flv");
                ConversionReport report;
                if (!known) {
                    report.Fail(Failure::NotSwfOrFlv);
                }
                const bool converted =
                    known && ConvertSourceItem(slot.item, toMp3, swf, flv, &report);
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    slot.converted = converted;
                    slot.report = std::move(report);
                    slot.done = true;
                }
                doneSignal.notify_all();
            }
        }
    };
    std::vector<std::thread> workers;
    for (size_t i = 0; i < count; ++i) {
        workers.emplace_back(worker);
    }

    int status = kExitOk;
    for (size_t k = 0; k < total; ++k) {
        Slot& slot = slots[k];
        out << Format("[%zu/%zu] Converting %s...", k + 1, total,
                      FileNamePart(slot.item.path).c_str());
        out.flush();
        {
            std::unique_lock<std::mutex> lock(mutex);
            doneSignal.wait(lock, [&] { return slot.done; });
        }
        out << ' ' << ConversionStatusText(slot.converted, slot.item) << '\n';
        out.flush();
        PrintReport(err, slot.item.path, slot.report);
        for (const OutputItem& output : slot.item.outputs) {
            PrintOutputRow(out, output);
        }
        out.flush();
        if (!slot.converted) {
            status = kExitFailed;
        }
    }
    for (std::thread& t : workers) {
        t.join();
    }
    for (Slot& slot : slots) {
        items.push_back(std::move(slot.item));
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
std::vector<std::string> ExpandPaths(const std::vector<std::string>& given) {
    std::vector<std::string> found;
    for (const std::string& arg : given) {
        const std::string path = AbsolutePath(arg);
        if (IsFolder(path)) {
            FolderSearch(path, found);
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

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool info = false;
    bool toMp3 = true;
    bool assumeYes = false;
    ConversionOptions options;
    std::string mergeTarget;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> paths;
    bool optionsDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
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
            info = true;
        } else if (arg == kAllFormatsOption) {
            options.allFormats = true;
        } else if (arg == "-j" || arg == "--jobs" || arg.rfind("--jobs=", 0) == 0 ||
                   (arg.size() > 2 && arg.rfind("-j", 0) == 0)) {
            std::string value;
            if (arg == "-j" || arg == "--jobs") {
                if (i + 1 >= args.size()) {
                    return UsageError(err, "option '" + arg + "' requires an argument");
                }
                value = args[++i];
            } else {
                value = arg.rfind("--jobs=", 0) == 0 ? arg.substr(7) : arg.substr(2);
            }
            char* end = nullptr;
            const unsigned long n = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 1024) {
                return UsageError(err, "invalid number of jobs '" + value + "'");
            }
            jobs = static_cast<unsigned>(n);
        } else if (arg == "--yes") {
            assumeYes = true;
        } else if (arg == "--merge" || arg.rfind("--merge=", 0) == 0) {
            if (arg == "--merge") {
                if (i + 1 >= args.size()) {
                    return UsageError(err, "option '--merge' requires an argument");
                }
                mergeTarget = args[++i];
            } else {
                mergeTarget = arg.substr(8);
            }
            if (mergeTarget.empty()) {
                return UsageError(err, "option '--merge' requires a file name");
            }
        } else if (arg == "--to" || arg.rfind("--to=", 0) == 0) {
            std::string format;
            if (arg == "--to") {
                if (i + 1 >= args.size()) {
                    return UsageError(err, "option '--to' requires an argument");
                }
                format = args[++i];
            } else {
                format = arg.substr(5);
            }
            if (LowerAscii(format) == "mp3") {
                toMp3 = true;
            } else if (LowerAscii(format) == "wav") {
                toMp3 = false;
            } else {
                return UsageError(err, "invalid format '" + format + "' (use mp3 or wav)");
            }
        } else {
            return UsageError(err, "unrecognized option '" + arg + "'");
        }
    }
    if (paths.empty()) {
        return UsageError(err, "missing file operand");
    }
    if (info && !mergeTarget.empty()) {
        return UsageError(err, "--merge converts; it cannot go with --info");
    }
    const std::vector<std::string> files = ExpandPaths(paths);
    if (info) {
        return RunInfo(files, options, out, err);
    }
    std::vector<SourceItem> items;
    const int status = RunConvert(files, toMp3, jobs, options, out, err, items);
    if (mergeTarget.empty()) {
        return status;
    }
    const int merged = RunMerge(items, mergeTarget, assumeYes, out, err);
    return status != kExitOk ? status : merged;
}

}  // namespace kelvora
