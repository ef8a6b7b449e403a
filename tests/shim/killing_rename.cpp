// Kills the tool in the middle of its renames, for the end-to-end tests of a commit cut
// short, as a kill or a power cut at that moment would. Preloaded (LD_PRELOAD), it takes
// the place of the C library's rename; the call that kills renames nothing, every other one
// goes through.
//
// - Into the tool (a Linux build): OMVO_KILL_AT_RENAME=N ends the process by SIGKILL at its
//   N-th rename, counted from 1.
// - Into Wine's server, which renames the files of every Windows program it serves (a
//   Windows build): OMVO_KILL_CONTROL names a file holding N. The N-th rename after the file
//   was written anew (a new file at its name) kills by SIGKILL every process of this
//   server's Wine prefix whose command line names omvo-covering.exe, and fails. The tool
//   run by other servers at the same time (other tests) is left alone.

#include <dirent.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Rename = int (*)(const char*, const char*);

long Number(const char* text) { return text != nullptr ? std::atol(text) : 0; }

// True when the file of the process (its cmdline or environ: texts ended by NUL) holds a
// text that contains `part`, or with `whole` one that is `part`.
bool Holds(const char* pid, const char* file, const char* part, bool whole) {
    char path[300];  // "/proc/", a name of up to 255 bytes, "/", the file
    std::snprintf(path, sizeof path, "/proc/%s/%s", pid, file);
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) return false;
    static char texts[1 << 16];
    const std::size_t size = std::fread(texts, 1, sizeof texts - 1, stream);
    std::fclose(stream);
    texts[size] = '\0';
    for (const char* text = texts; text < texts + size; text += std::strlen(text) + 1) {
        if (whole ? std::strcmp(text, part) == 0 : std::strstr(text, part) != nullptr) {
            return true;
        }
    }
    return false;
}

void KillTheTool() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr) return;
    char served[4096];
    std::snprintf(served, sizeof served, "WINEPREFIX=%s", prefix);
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return;
    while (const dirent* entry = readdir(proc)) {
        const char* pid = entry->d_name;
        if (pid[0] < '1' || pid[0] > '9') continue;
        if (Holds(pid, "cmdline", "omvo-covering.exe", false) &&
            Holds(pid, "environ", served, true)) {
            kill(std::atoi(pid), SIGKILL);
        }
    }
    closedir(proc);
}

// Server mode: true when this rename is the one to kill at.
bool ControlSaysKill(const char* control) {
    static ino_t counting = 0;  // the control file the count belongs to
    static long count = 0;
    struct stat status {};
    if (stat(control, &status) != 0) return false;
    if (status.st_ino != counting) {
        counting = status.st_ino;
        count = 0;
    }
    std::FILE* file = std::fopen(control, "r");
    if (file == nullptr) return false;
    long at = 0;
    const bool read = std::fscanf(file, "%ld", &at) == 1;
    std::fclose(file);
    return read && ++count == at;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    static const long at = Number(std::getenv("OMVO_KILL_AT_RENAME"));
    static const char* const control = std::getenv("OMVO_KILL_CONTROL");
    static std::atomic<long> count{0};
    if (at > 0 && ++count == at) kill(getpid(), SIGKILL);
    if (control != nullptr && ControlSaysKill(control)) {
        KillTheTool();
        errno = EIO;
        return -1;
    }
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    return next(from, to);
}
