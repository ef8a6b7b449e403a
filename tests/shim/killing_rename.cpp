// Kills the tool in the middle of its renames, for the end-to-end tests of a commit cut
// short, as a kill or a power cut at that moment would. Preloaded (LD_PRELOAD), it takes
// the place of the C library's rename; the call that kills renames nothing, every other one
// goes through.
//
// - Into the tool (a Linux build): OMVO_KILL_AT_RENAME=N ends the process by SIGKILL at its
//   N-th rename, counted from 1.
// - Into Wine's server, which renames the files of every Windows program it serves (a
//   Windows build): OMVO_KILL_CONTROL names a file holding N. The N-th rename after the file
//   was written anew (a new file at its name) kills by SIGKILL every process whose command
//   line names omvo-covering.exe, and fails.

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

// True when the process's command line names the Windows program.
bool RunsTheTool(const char* pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/cmdline", pid);
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char line[4096];
    const std::size_t size = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    for (std::size_t k = 0; k < size; ++k) {
        if (line[k] == '\0') line[k] = ' ';
    }
    line[size] = '\0';
    return std::strstr(line, "omvo-covering.exe") != nullptr;
}

void KillTheTool() {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return;
    while (const dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        if (RunsTheTool(entry->d_name)) kill(std::atoi(entry->d_name), SIGKILL);
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
