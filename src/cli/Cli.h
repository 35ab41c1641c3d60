#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kelvora {

// Exit statuses of kelvora-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs kelvora-cli with its arguments (without the program name), writing to the given streams;
// `errIsTerminal` tells that `err` goes to a terminal, where a run shows its progress.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false);

}  // namespace kelvora
