// The platform layer for POSIX systems (Linux).

#include "base/platform.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace omvo::base {

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::FILE* OpenForWriting(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

bool WriteAll(std::FILE* file, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool MayBeReplaced(const std::string& path) {
    if (!IsDirectory(path)) return true;
    errno = EISDIR;
    return false;
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

void PrepareStandardStreams() {}

StreamKind KindOf(StandardStream stream) {
    const int fd = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    return isatty(fd) != 0 ? StreamKind::Terminal : StreamKind::File;
}

bool WriteStandardStream(StandardStream stream, std::string_view text, TextEncoding) {
    std::FILE* file = stream == StandardStream::Output ? stdout : stderr;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
           std::fflush(file) == 0;
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
    sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignalsHeld::~StopSignalsHeld() {
    sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void KeepStopSignalsFromThisThread() {
    sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace omvo::base
