// The platform layer for Windows. Paths arrive as ANSI bytes and go to the system's wide
// calls as UTF-16; errors of the system are turned into errno values here, at the call that
// failed, so the failure report reads the same as on POSIX systems.

#include "base/platform.hpp"

#include "base/errors.hpp"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <mutex>
#include <vector>

namespace omvo::base {

namespace {

// The UTF-16 form of a text in the given code page.
std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

// The ANSI form of a UTF-16 text; false when some character has none.
bool Narrow(const std::wstring& wide, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                           nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return false;
    text.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, text.data(), length,
                        nullptr, &lossy);
    return !lossy;
}

bool StartsWith(const std::wstring& text, std::wstring_view start) {
    return text.compare(0, start.size(), start) == 0;
}

// The path as the wide file calls take it. A path that would reach MAX_PATH characters as a
// full path is made full (GetFullPathNameW resolves the current folder, "/", "." and "..",
// which the file system does not do after the prefix) and gets the "\\?\" prefix, which
// lifts the limit. Shorter paths go as they are, so the system reads them as it reads any
// other program's.
std::wstring SystemPath(const std::string& path) {
    std::wstring wide = Widen(path, CP_ACP);
    if (wide.empty() || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed <= MAX_PATH) return wide;  // with its terminating zero
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
    return L"\\\\?\\" + full;
}

// The errno value of a Windows error, in the terms of the failure report.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:  // ThrowIoError tells a missing folder apart
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_PARAMETER: return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED: return EPIPE;  // the reader went away
        case ERROR_INVALID_HANDLE: return EBADF;
        default: return EIO;
    }
}

// The outcome of a system call that failed, as GetLastError tells it.
IoStatus LastError() { return IoStatus(ErrnoOf(GetLastError())); }

// Another program may have a file open for a moment without letting it be replaced: a virus
// scanner or an indexer looking at a file just written. An operation that meets such a file
// is tried again for about a second before its failure counts.
template <typename Operation>
IoStatus TryWhileBusy(Operation operation) {
    for (int attempt = 0;; ++attempt) {
        if (operation()) return {};
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          error == ERROR_ACCESS_DENIED;
        if (!busy || attempt == 20) return IoStatus(ErrnoOf(error));
        Sleep(50);
    }
}

// Writes all the bytes to a file or pipe, in as many writes as it takes.
IoStatus WriteHandle(HANDLE handle, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(handle, bytes.data() + done, size, &written, nullptr)) return LastError();
        if (written == 0) return IoStatus(ENOSPC);
        done += written;
    }
    return {};
}

// Opens a file through the wide call and hands it to the C library as a stream.
IoStatus Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags, int mode, const char* streamMode, std::FILE*& file) {
    const HANDLE handle = CreateFileW(SystemPath(path).c_str(), access, share, nullptr,
                                      disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), mode | _O_BINARY);
    if (fd == -1) {
        CloseHandle(handle);
        return IoStatus(EMFILE);
    }
    file = _fdopen(fd, streamMode);
    if (file == nullptr) {
        _close(fd);
        return IoStatus(EMFILE);
    }
    return {};
}

HANDLE HandleOfFile(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

}  // namespace

IoStatus OpenForReading(const std::string& path, std::FILE*& file) {
    const IoStatus opened =
        Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, _O_RDONLY, "rb",
             file);
    // A directory is refused as access denied: tell it apart.
    if (opened.error() == EACCES && IsDirectory(path)) return IoStatus(EISDIR);
    return opened;
}

IoStatus ReadSome(std::FILE* file, char* into, std::size_t size, std::size_t& got) {
    got = 0;
    const HANDLE handle = HandleOfFile(file);
    while (got < size) {
        DWORD read = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
        if (!ReadFile(handle, into + got, want, &read, nullptr)) {
            // The writer of a pipe went away: the end of its data.
            if (GetLastError() == ERROR_BROKEN_PIPE) break;
            return LastError();
        }
        if (read == 0) break;
        got += read;
    }
    return {};
}

IoStatus CreateNewFile(const std::string& path, std::FILE*& file) {
    // Others may read it meanwhile; and a stop may remove it while it is open. A link at the
    // path counts as something there; nothing is opened through it.
    return Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, _O_WRONLY, "wb", file);
}

IoStatus FlushToDisk(std::FILE* file) {
    return FlushFileBuffers(HandleOfFile(file)) != 0 ? IoStatus() : LastError();
}

IoStatus CloseFile(std::FILE* file) {
    // The stream is unbuffered: only closing its handle may fail, and the C library leaves
    // the system's reason in place.
    return std::fclose(file) == 0 ? IoStatus() : LastError();
}

IoStatus FlushFolderOf(const std::string&) { return {}; }

IoStatus KeepAside(const std::string& path, const std::string& backup) {
    const std::wstring source = SystemPath(path);
    const std::wstring target = SystemPath(backup);
    if (CreateHardLinkW(target.c_str(), source.c_str(), nullptr)) return {};
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return LastError();
        default:  // a file system without hard links (FAT)
            return TryWhileBusy(
                [&] { return MoveFileExW(source.c_str(), target.c_str(), 0) != 0; });
    }
}

FolderLock::~FolderLock() {
    if (handle_ == -1) return;
    ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

IoStatus FolderLock::TryLock(const std::string& path) {
    // The folder by its volume and file number: the same whatever path leads to it (a
    // mapped drive, a share name, a link).
    const std::wstring file = SystemPath(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()),
                                              full.data(), nullptr);
        if (length == 0) return LastError();
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    full.resize(full.find_last_of(L"\\/") + 1);  // the folder, with its separator
    const HANDLE folder =
        CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(folder, &info) != 0;
    const DWORD error = GetLastError();
    CloseHandle(folder);
    if (!known) return IoStatus(ErrnoOf(error));
    wchar_t name[80];
    std::swprintf(name, 80, L"Global\\omvo-covering-%08lx-%08lx%08lx",
                  static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh),
                  static_cast<unsigned long>(info.nFileIndexLow));
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) {
        // Made by a run of another user, which is still going.
        if (GetLastError() == ERROR_ACCESS_DENIED) return IoStatus(EWOULDBLOCK);
        return LastError();
    }
    // WAIT_ABANDONED: its holder ended without letting go.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        handle_ = reinterpret_cast<std::intptr_t>(mutex);
        return {};
    }
    CloseHandle(mutex);
    return IoStatus(EWOULDBLOCK);
}

IoStatus WriteAll(std::FILE* file, std::string_view bytes) {
    // Straight to the system: the C library's stream adds nothing to an unbuffered file, and
    // loses the reason when a disk fills up in the middle of a write (a short count, or
    // EINVAL).
    return WriteHandle(HandleOfFile(file), bytes);
}

IoStatus RemoveFile(const std::string& path) {
    return DeleteFileW(SystemPath(path).c_str()) != 0 ? IoStatus() : LastError();
}

IoStatus RenameReplacing(const std::string& from, const std::string& to) {
    const std::wstring source = SystemPath(from);
    const std::wstring target = SystemPath(to);
    return TryWhileBusy([&] {
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    });
}

IoStatus MayBeReplaced(const std::string& path, bool& present) {
    const std::wstring wide = SystemPath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    present = attributes != INVALID_FILE_ATTRIBUTES;
    if (!present) {
        const IoStatus looked = LastError();
        return looked.absent() ? IoStatus() : looked;  // nothing there, or a failed look
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return IoStatus(EISDIR);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return IoStatus(EACCES);
    // Replacing a file deletes it: a program that holds it open without sharing deletion
    // (a map viewer showing the document) stops that, and so does asking for deletion now.
    return TryWhileBusy([&] {
        constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE handle = CreateFileW(wide.c_str(), DELETE, kShareAll, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
            present = false;  // gone meanwhile: nothing there
            return true;
        }
        CloseHandle(handle);
        return true;
    });
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ExecutablePath(const std::string& fallback) {
    // argv[0] is what the user typed: a bare name when the program was found through PATH.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return fallback;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try a longer buffer
    }
    std::string text;
    if (Narrow(path, text)) return text;
    // A folder name with characters the ANSI code page lacks: its short (8.3) form, where
    // the volume keeps one, is plain ASCII.
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return fallback;
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed) return fallback;
    shortPath.resize(length);
    return Narrow(shortPath, text) ? text : fallback;
}

namespace {

// Where the file name starts: after the last "\", "/" or the ":" of a drive.
std::size_t NameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

std::string SettingsPathFor(const std::string& executablePath) {
    const std::size_t dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > NameStart(executablePath)) {
        return executablePath.substr(0, dot) + ".ini";
    }
    return executablePath + ".ini";
}

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

bool IsWindowsBuild() { return true; }

unsigned UsableProcessorCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        unsigned count = 0;
        for (; process != 0; process &= process - 1) ++count;
        return count;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

namespace {

HANDLE HandleOf(StandardStream stream) {
    return GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsoleWindow(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// Whether each stream is a console window, asked once: it does not change during a run.
bool StreamIsConsoleWindow(StandardStream stream) {
    static const bool output = IsConsoleWindow(HandleOf(StandardStream::Output));
    static const bool error = IsConsoleWindow(HandleOf(StandardStream::Error));
    return stream == StandardStream::Output ? output : error;
}

}  // namespace

void PrepareStandardStreams() {
    // A stream the program was started without gets the null device: otherwise the C
    // library would give its number to the first file opened, and make that file the
    // standard stream.
    const struct {
        DWORD id;
        std::FILE* stream;
        const char* mode;
    } streams[] = {{STD_INPUT_HANDLE, stdin, "rb"},
                   {STD_OUTPUT_HANDLE, stdout, "wb"},
                   {STD_ERROR_HANDLE, stderr, "wb"}};
    for (const auto& standard : streams) {
        const HANDLE handle = GetStdHandle(standard.id);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE && _fileno(standard.stream) >= 0) {
            continue;
        }
        // The C library opens it through the system, which keeps the reason of a failure.
        if (std::freopen("NUL", standard.mode, standard.stream) == nullptr) {
            ThrowIoError(LastError().error(), "NUL");
        }
    }
    // The tool writes its own CR LF: the C library's streams, in text mode, would put a CR
    // before each LF of anything written through them.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

StreamKind KindOf(StandardStream stream) {
    return StreamIsConsoleWindow(stream) ? StreamKind::ConsoleWindow : StreamKind::File;
}

IoStatus WriteStandardStream(StandardStream stream, std::string_view text,
                             TextEncoding encoding) {
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return {};  // none: dropped
    if (StreamIsConsoleWindow(stream)) {
        // Characters, not bytes: the window shows them whatever its code page.
        const std::wstring wide = Widen(text, encoding == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const DWORD size = static_cast<DWORD>(wide.size() - done);
            if (!WriteConsoleW(handle, wide.data() + done, size, &written, nullptr)) {
                return LastError();
            }
            done += written;
        }
        return {};
    }
    // Straight to the file or pipe, so every text is there at the moment of its write; a
    // reader that has gone away fails the write (EPIPE).
    return WriteHandle(handle, text);
}

namespace {

// Stops wait while a StopSignalsHeld lives; a stop that has begun keeps it, so the run
// renames nothing after its temporary files were removed.
std::recursive_mutex g_stopGate;
std::mutex g_temporaryPathsMutex;
std::vector<std::string> g_temporaryPaths;

// Runs on a thread the system starts for the event, beside the run's own threads.
BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: break;
        default: return FALSE;
    }
    g_stopGate.lock();  // never given back: the process ends
    {
        const std::lock_guard lock(g_temporaryPathsMutex);
        for (const std::string& path : g_temporaryPaths) {
            DeleteFileW(SystemPath(path).c_str());
        }
    }
    // Ended at once, as the system's own handler ends a program, but without running the
    // C library's exit code while the run's threads may be in the middle of its calls.
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

}  // namespace

void InstallSignalHandling() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void RegisterTemporaryFile(const std::string& path) {
    const std::lock_guard lock(g_temporaryPathsMutex);
    g_temporaryPaths.push_back(path);
}

void ForgetTemporaryFile(const std::string& path) {
    const std::lock_guard lock(g_temporaryPathsMutex);
    for (auto it = g_temporaryPaths.begin(); it != g_temporaryPaths.end(); ++it) {
        if (*it == path) {
            g_temporaryPaths.erase(it);
            return;
        }
    }
}

StopSignalsHeld::StopSignalsHeld() : before_{} { g_stopGate.lock(); }

StopSignalsHeld::~StopSignalsHeld() { g_stopGate.unlock(); }

}  // namespace omvo::base
