#pragma once
// The command line: overlay files, or a request for the usage text or the version.

#include <string>
#include <string_view>
#include <vector>

namespace omvo::run {

enum class Request { Run, Help, Version };

// Returns what the arguments ask for. Only the exact words "--help", "-h" ("/?" too on
// Windows) and "--version" are options, and the first of them decides; every other argument
// is the path of an overlay file (a file named like an option is given as "./--help").
Request RequestOf(const std::vector<std::string>& arguments);

// Writes the usage text to the console: what the tool does, its arguments and the settings
// file it reads, `settingsPath`; `module` is the executable's file name. Throws InOutError
// when the console write fails.
void WriteUsage(std::string_view module, std::string_view settingsPath);

// Writes "omvo-covering <version>" to the console. Throws InOutError.
void WriteVersion();

}  // namespace omvo::run
