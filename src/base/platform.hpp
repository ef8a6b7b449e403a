#pragma once
// What the tool asks of the operating system beyond plain files.

#include <string>

namespace omvo::base {

// True when something that is not a directory exists at the path.
bool FileExists(const std::string& path);

// The full real path of the running executable; `fallback` (argv[0]) when it is unknown.
std::string ExecutablePath(const std::string& fallback);

// The settings file of an executable: its path with the extension of the file name
// replaced by ".ini", or ".ini" appended when the file name has no ".".
std::string SettingsPathFor(const std::string& executablePath);

// The file name of a path, without its directory.
std::string FileNameOf(const std::string& path);

// True when standard output is a terminal.
bool StandardOutputIsTerminal();

}  // namespace omvo::base
