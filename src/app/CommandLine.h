#pragma once
// The words on the command line that run a command and end, instead of starting the program:
// "--help", and the restore commands. They never start the tray program nor ask it anything.

#include <optional>

namespace CommandLine {

// Runs the command that the arguments name; its exit code, or nothing when the arguments start
// the program as usual.
std::optional<int> runCommand(int argc, char** argv);

} // namespace CommandLine
