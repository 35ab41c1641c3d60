#include "cli/Cli.h"

#include <ostream>

#include "engine/PathUtil.h"
#include "engine/Version.h"
#include "swf/CSwfReader.h"
#include "ui/ColumnTexts.h"

namespace kelvora {

namespace {

constexpr const char* kProgram = "kelvora-cli";

void PrintUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " --info PATH...\n"
        << "Take the sound out of Flash media (SWF movies and FLV videos).\n"
        << "\n"
        << "  --info       print the header of each SWF movie: file, version, frame size,\n"
        << "               length, frame rate, frame count and path, separated by tabs\n"
        << "  --help       display this help and exit\n"
        << "  --version    output version information and exit\n"
        << "\n"
        << "Exit status: 0 when every file was read, 1 when any failed, 2 for a usage error.\n";
}

void PrintVersion(std::ostream& out) {
    out << kProgram << " (Kelvora) " << kVersionText << "\n";
}

int UsageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n"
        << "Try '" << kProgram << " --help' for more information.\n";
    return kExitUsage;
}

int RunInfo(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
    int status = kExitOk;
    for (const std::string& given : paths) {
        const std::string path = AbsolutePath(given);
        SwfMovieInfo info;
        CSwfReader reader;
        if (!HasExtension(path, ".swf") || !reader.ReadInfo(path, &info)) {
            err << kProgram << ": " << given << ": not a readable SWF movie\n";
            status = kExitFailed;
            continue;
        }
        const SourceInfoTexts t = SwfInfoTexts(info);
        out << FileNamePart(path) << '\t' << t.version << '\t' << t.dimension << '\t' << t.length
            << '\t' << t.rate << '\t' << t.frames << '\t' << path << '\n';
    }
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool info = false;
    std::vector<std::string> paths;
    bool optionsDone = false;
    for (const std::string& arg : args) {
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
        } else {
            return UsageError(err, "unrecognized option '" + arg + "'");
        }
    }
    if (!info) {
        return UsageError(err, "no action given");
    }
    if (paths.empty()) {
        return UsageError(err, "missing file operand");
    }
    return RunInfo(paths, out, err);
}

}  // namespace kelvora
