#pragma once
// What the tool asks of the operating system: files, the executable's own path, the console
// streams and the signals that stop a run. One header, one source file per operating system
// (platform_posix.cpp, platform_windows.cpp), chosen by the build; nothing else of the tool
// talks to the system directly.
//
// Paths are the bytes the user wrote (in the settings file, on the command line). A POSIX
// system takes them as they are. On Windows they are text in the ANSI code page (CP1251 on a
// Russian Windows), turned into UTF-16 for the system's wide calls, long ones with the
// "\\?\" prefix; every check and every open of a path therefore sees the same file, and no
// path length limit applies.
//
// Every file operation returns what it came to as an IoStatus: done, or the reason it failed
// in the C library's terms (ENOENT, EACCES, ENOSPC, EINVAL for a name the system does not
// take, ...), for ThrowIoError. The reason is taken where the system gives it, at the call
// that failed; nothing is read from errno afterwards.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace omvo::base {

// What a file operation came to: 0 when it was done, else the errno value of its failure.
class [[nodiscard]] IoStatus {
public:
    constexpr IoStatus() = default;
    constexpr explicit IoStatus(int error) : error_(error) {}
    constexpr bool ok() const { return error_ == 0; }
    constexpr int error() const { return error_; }
    // True when it failed because nothing was at the path.
    constexpr bool absent() const { return error_ == ENOENT; }

private:
    int error_ = 0;
};

// --- Files ---

// Opens a file for reading its bytes; `file` is set when it is done. EISDIR for a directory,
// ENOENT (or ENOTDIR) when nothing is there: one look tells what is at the path.
IoStatus OpenForReading(const std::string& path, std::FILE*& file);

// Reads up to `size` bytes of a file opened by OpenForReading, as many as there are; `got` is
// 0 only at the end of the file.
IoStatus ReadSome(std::FILE* file, char* into, std::size_t size, std::size_t& got);

// Creates a new file for writing bytes; `file` is set when it is done. EEXIST when anything
// (a file, a link, a folder) is at the path already: nothing is ever written through a link
// or into a file someone else made. Its stream is unbuffered and written only through
// WriteAll.
IoStatus CreateNewFile(const std::string& path, std::FILE*& file);

// Writes all the bytes to a file made by CreateNewFile (ENOSPC for a full disk, also after
// part of the bytes was written).
IoStatus WriteAll(std::FILE* file, std::string_view bytes);

// Makes the system write what it holds of the file's bytes to the disk, so they survive a
// power cut.
IoStatus FlushToDisk(std::FILE* file);

// Closes a file opened by OpenForReading or CreateNewFile; it is closed whatever the outcome.
IoStatus CloseFile(std::FILE* file);

// Makes the system write the folder holding `path` to the disk, so that the names made,
// renamed and removed in it survive a power cut. Done at once where the file system keeps
// no such record, for a folder that may be written but not read, and on Windows, where
// renames are written through.
IoStatus FlushFolderOf(const std::string& path);

// Removes a file's name (a link, never what it points at, never a folder); ENOENT when
// nothing is there.
IoStatus RemoveFile(const std::string& path);

// Renames a file to `to`, replacing a file that is there, in one step; ENOENT when nothing
// is at `from`. Where both names are links to one file, POSIX leaves both; Windows removes
// `from`.
IoStatus RenameReplacing(const std::string& from, const std::string& to);

// Gives the file at `path` a second name, `backup`, as a hard link; where the file system has
// no hard links, moves it there. ENOENT when nothing is at `path`.
IoStatus KeepAside(const std::string& path, const std::string& backup);

// An exclusive lock on a folder, which the system lets go when the process ends, however it
// ends (a kill, a crash, a power cut); no file is made for it. POSIX: an advisory lock
// (flock) on the folder; Windows: a named mutex made from the folder's volume and file
// number. It keeps apart the runs of one machine, not those of two machines writing to one
// network folder.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock on the folder that holds the file at `path`: EWOULDBLOCK when another
    // process holds it, ENOENT when there is no such folder.
    IoStatus TryLock(const std::string& path);

private:
    std::intptr_t handle_ = -1;
};

// Looks at the path before a file is renamed over it or removed: done when nothing stands in
// the way now, with `present` telling whether something is there. EISDIR for a directory,
// and on Windows EACCES for a read-only file or one that another program holds open against
// it; a look the system refuses (EACCES, EIO) is its error, never "nothing there".
IoStatus MayBeReplaced(const std::string& path, bool& present);

// True when something that is not a directory exists at the path; false also when the
// system cannot tell. For the tool's inputs, which it then opens.
bool FileExists(const std::string& path);

// True when a directory exists at the path.
bool IsDirectory(const std::string& path);

// --- The machine ---

// The number of processors the process may run on (its affinity), at least 1.
unsigned UsableProcessorCount();

// --- The executable ---

// The full path of the running executable, as the system knows it; `fallback` (argv[0])
// when it is unknown.
std::string ExecutablePath(const std::string& fallback);

// The settings file of an executable: its path with the extension of the file name
// replaced by ".ini", or ".ini" appended when the file name has no ".".
std::string SettingsPathFor(const std::string& executablePath);

// The file name of a path, without its directory. Windows also separates folders with "\"
// and a drive with ":".
std::string FileNameOf(const std::string& path);

// True when the tool is built for Windows, whose programs also take "/?" as a request
// for help.
bool IsWindowsBuild();

// --- The console ---

enum class StandardStream { Output, Error };

// What a standard stream leads to.
enum class StreamKind {
    File,           // a file, a pipe, a device: it takes bytes as they are
    Terminal,       // a POSIX terminal: bytes, shown in the terminal's character set
    ConsoleWindow,  // a Windows console window: characters, whatever its code page
};

// How the bytes of a text written to a console window are read.
enum class TextEncoding {
    Utf8,  // the tool's own texts
    Ansi,  // bytes from input and paths: the ANSI code page of Windows
};

// Makes the standard streams pass bytes unchanged (on Windows no CR is added before LF), and
// opens a standard stream that the tool was started without on the null device, so that no
// file the run opens takes its place and gets its texts: they are dropped. Called once at
// start-up, before any file is opened. Throws InOutError when the null device cannot be
// opened.
void PrepareStandardStreams();

// What the stream leads to.
StreamKind KindOf(StandardStream stream);

// Writes the whole text to the stream, at once. A console window gets its characters, its
// bytes read as `encoding` says; anything else gets the bytes unchanged.
IoStatus WriteStandardStream(StandardStream stream, std::string_view text, TextEncoding encoding);

// --- Stopping a run ---

// Sets up how outside stops act on the run. Called once at start-up by main.
// - POSIX: a closed console pipe (SIGPIPE) and an exceeded file-size limit (SIGXFSZ) do not
//   kill the process: the write fails instead and is reported and cleaned up like any
//   other. A stop signal (SIGINT, SIGTERM, SIGHUP) removes the registered temporary files
//   and then ends the process by that same signal, so the caller sees how it ended. A stop
//   signal that is ignored when the tool starts (nohup, background jobs) stays ignored.
// - Windows: Ctrl-C, Ctrl-Break, a closed console window, logoff and shutdown remove the
//   registered temporary files and end the process with the exit code of a program stopped
//   by Ctrl-C, 0xC000013A. A program whose Ctrl-C is switched off (started in a new process
//   group) does not see it. Windows has no file-size limit, and a closed pipe fails the
//   write by itself.
void InstallSignalHandling();

// Registers a file that a stop removes; done once it was created.
// Throws std::logic_error when too many files are registered at once (the POSIX signal
// handler has room for eight).
void RegisterTemporaryFile(const std::string& path);

// Ends the registration of a file: done once it was removed or renamed. A path that is
// not registered is ignored.
void ForgetTemporaryFile(const std::string& path);

// While an object of this class lives, stops wait; one that arrived acts when the object
// ends. Keeps a group of file operations whole: replacing the finished documents, and
// finishing a replacement that a kill cut short. Threads started meanwhile never see a stop
// (POSIX: they keep the blocked stop signals), so the main thread alone removes the
// temporary files: worker threads are started under it.
class StopSignalsHeld {
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    alignas(8) unsigned char before_[128];  // POSIX: the signal mask to go back to
};

}  // namespace omvo::base
