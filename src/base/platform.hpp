#pragma once
// What the tool asks of the operating system beyond plain files. One source file per
// operating system (platform_posix.cpp, platform_windows.cpp), chosen by the build.

#include <string>

namespace omvo::base {

// True when something that is not a directory exists at the path.
bool FileExists(const std::string& path);

// True when a directory exists at the path.
bool IsDirectory(const std::string& path);

// The full real path of the running executable; `fallback` (argv[0]) when it is unknown.
std::string ExecutablePath(const std::string& fallback);

// The settings file of an executable: its path with the extension of the file name
// replaced by ".ini", or ".ini" appended when the file name has no ".".
std::string SettingsPathFor(const std::string& executablePath);

// The file name of a path, without its directory.
std::string FileNameOf(const std::string& path);

// True when the tool is built for Windows, whose programs also take "/?" as a request
// for help.
bool IsWindowsBuild();

// True when standard output is a terminal.
bool StandardOutputIsTerminal();

// Sets up how signals act on the run. Called once at start-up by main.
// - A closed console pipe (SIGPIPE) and an exceeded file-size limit (SIGXFSZ) do not kill
//   the process: the write fails instead and is reported and cleaned up like any other.
// - A stop signal (SIGINT, SIGTERM, SIGHUP) removes the registered temporary files and then
//   ends the process by that same signal, so the caller sees how it ended. A stop signal
//   that is ignored when the tool starts (nohup, background jobs) stays ignored.
void InstallSignalHandling();

// Registers a file that a stop signal removes; done before the file is created.
// Throws std::logic_error when too many files are registered at once.
void RegisterTemporaryFile(const std::string& path);

// Ends the registration of a file: done once it was removed or renamed. A path that is
// not registered is ignored.
void ForgetTemporaryFile(const std::string& path);

// Stop signals never reach the calling thread: for worker threads, so that the main thread
// alone removes the temporary files, and never while it holds the signals back.
void KeepStopSignalsFromThisThread();

// While an object of this class lives, stop signals wait; one that arrived acts when the
// object ends. Keeps a group of file operations (renaming the finished documents) whole.
class StopSignalsHeld {
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
};

}  // namespace omvo::base
