// The platform layer for POSIX systems (Linux).

#include "base/platform.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.hpp"

namespace omvo::base {

namespace {

// The outcome of a system call that failed, as the call left it in errno.
IoStatus LastError() { return IoStatus(errno); }

// Opens the folder that holds the file at the path, to flush or lock it. Its name is made
// without allocating: a commit that memory ran out in flushes the folder while it puts its
// files back.
IoStatus OpenFolderOf(const std::string& path, int& fd) {
    char folder[PATH_MAX];
    const std::size_t slash = path.rfind('/');
    const std::size_t size = slash == std::string::npos ? 0 : std::max<std::size_t>(slash, 1);
    if (size >= sizeof folder) return IoStatus(ENAMETOOLONG);
    if (size == 0) folder[0] = '.';
    std::memcpy(folder, path.data(), size);
    folder[std::max<std::size_t>(size, 1)] = '\0';
    fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd != -1 ? IoStatus() : LastError();
}

// Hands a file descriptor to the C library as a stream, closing it when that fails.
IoStatus Stream(int fd, const char* mode, std::FILE*& file) {
    file = fdopen(fd, mode);
    if (file != nullptr) return {};
    const IoStatus failed = LastError();
    close(fd);
    return failed;
}

}  // namespace

IoStatus OpenForReading(const std::string& path, std::FILE*& file) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return LastError();
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(fd);
        return IoStatus(EISDIR);
    }
    return Stream(fd, "rb", file);
}

IoStatus ReadSome(std::FILE* file, char* into, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t read = ::read(fileno(file), into + got, size - got);
        if (read == 0) break;
        if (read == -1) {
            if (errno == EINTR) continue;
            return LastError();
        }
        got += static_cast<std::size_t>(read);
    }
    return {};
}

IoStatus CreateNewFile(const std::string& path, std::FILE*& file) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd == -1) return LastError();
    const IoStatus streamed = Stream(fd, "wb", file);
    if (!streamed.ok()) unlink(path.c_str());
    return streamed;
}

IoStatus WriteAll(std::FILE* file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fileno(file), bytes.data() + done, bytes.size() - done);
        if (written == -1) {
            if (errno == EINTR) continue;
            return LastError();
        }
        done += static_cast<std::size_t>(written);
    }
    return {};
}

IoStatus FlushToDisk(std::FILE* file) { return fsync(fileno(file)) == 0 ? IoStatus() : LastError(); }

IoStatus CloseFile(std::FILE* file) {
    // The stream is unbuffered: closing it only closes its descriptor.
    return std::fclose(file) == 0 ? IoStatus() : LastError();
}

IoStatus FlushFolderOf(const std::string& path) {
    int fd = -1;
    const IoStatus opened = OpenFolderOf(path, fd);
    // A folder that may be written but not read gives no handle to flush it by.
    if (!opened.ok()) return opened.error() == EACCES ? IoStatus() : opened;
    // EINVAL: a file system that keeps no such record.
    const IoStatus flushed = fsync(fd) == 0 || errno == EINVAL ? IoStatus() : LastError();
    close(fd);
    return flushed;
}

IoStatus RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0 ? IoStatus() : LastError();
}

IoStatus RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? IoStatus() : LastError();
}

IoStatus KeepAside(const std::string& path, const std::string& backup) {
    if (link(path.c_str(), backup.c_str()) == 0) return {};
    switch (errno) {
        case EPERM:  // also a file system without hard links (FAT)
        case EOPNOTSUPP:
        case EMLINK:
        case EXDEV:
        case ENOSYS: return RenameReplacing(path, backup);
        default: return LastError();
    }
}

FolderLock::~FolderLock() {
    if (handle_ != -1) close(static_cast<int>(handle_));
}

IoStatus FolderLock::TryLock(const std::string& path) {
    int fd = -1;
    const IoStatus opened = OpenFolderOf(path, fd);
    if (!opened.ok()) return opened;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const IoStatus failed = LastError();
        close(fd);
        return failed;
    }
    handle_ = fd;
    return {};
}

IoStatus MayBeReplaced(const std::string& path, bool& present) {
    struct stat status {};
    present = lstat(path.c_str(), &status) == 0;
    if (!present) return errno == ENOENT ? IoStatus() : LastError();
    return S_ISDIR(status.st_mode) ? IoStatus(EISDIR) : IoStatus();
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

std::string ExecutablePath(const std::string& fallback) {
    std::error_code ec;
    auto target = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || target.empty()) return fallback;
    return target.string();
}

std::string SettingsPathFor(const std::string& executablePath) {
    std::size_t slash = executablePath.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > nameStart) {
        return executablePath.substr(0, dot) + ".ini";
    }
    return executablePath + ".ini";
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsWindowsBuild() { return false; }

unsigned UsableProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    const unsigned machine = std::thread::hardware_concurrency();  // more CPUs than the set holds
    return machine > 0 ? machine : 1;
}

void PrepareStandardStreams() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is this one.
        const int opened = open("/dev/null", O_RDWR);
        if (opened == -1) ThrowIoError(errno, "/dev/null");
        if (opened != fd) {
            close(opened);
            ThrowIoError(EBADF, "/dev/null");
        }
    }
}

StreamKind KindOf(StandardStream stream) {
    const int fd = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    return isatty(fd) != 0 ? StreamKind::Terminal : StreamKind::File;
}

IoStatus WriteStandardStream(StandardStream stream, std::string_view text, TextEncoding) {
    return WriteAll(stream == StandardStream::Output ? stdout : stderr, text);
}

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary files a stop signal removes: C strings made before the files are created,
// so the signal handler only reads them. A slot holds nullptr when free.
using TemporaryPath = std::atomic<char*>;
static_assert(TemporaryPath::is_always_lock_free);
TemporaryPath g_temporaryPaths[8];

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signo : kStopSignals) sigaddset(&set, signo);
    return set;
}

// Only async-signal-safe calls: unlink, sigaction, raise.
extern "C" void OnStopSignal(int signo) {
    for (TemporaryPath& slot : g_temporaryPaths) {
        if (const char* path = slot.load()) unlink(path);
    }
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signo, &standard, nullptr);
    // The signal stays blocked until the handler returns; then its default action ends the
    // process.
    raise(signo);
}

}  // namespace

void InstallSignalHandling() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    stop.sa_mask = StopSignalSet();  // one stop at a time
    for (int signo : kStopSignals) {
        struct sigaction before {};
        if (sigaction(signo, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signo, &stop, nullptr);
    }
}

void RegisterTemporaryFile(const std::string& path) {
    auto copy = std::make_unique<char[]>(path.size() + 1);
    std::memcpy(copy.get(), path.c_str(), path.size() + 1);
    for (TemporaryPath& slot : g_temporaryPaths) {
        char* expected = nullptr;
        if (slot.compare_exchange_strong(expected, copy.get())) {
            copy.release();
            return;
        }
    }
    throw std::logic_error("too many temporary files registered");
}

void ForgetTemporaryFile(const std::string& path) {
    for (TemporaryPath& slot : g_temporaryPaths) {
        char* registered = slot.load();
        if (registered != nullptr && path == registered) {
            slot.store(nullptr);  // the handler no longer sees it before it is freed
            delete[] registered;
            return;
        }
    }
}

StopSignalsHeld::StopSignalsHeld() {
    static_assert(sizeof(sigset_t) <= sizeof before_);
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(before_));
}

StopSignalsHeld::~StopSignalsHeld() {
    // Back to the mask before, so a hold inside another one does not end it.
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(before_), nullptr);
}

}  // namespace omvo::base
