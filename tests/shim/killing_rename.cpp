// Kills the process in the middle of its renames, for the end-to-end tests of a commit cut
// short. Preloaded into the tool (LD_PRELOAD), it takes the place of the C library's rename:
// the N-th call (N from OMVO_KILL_AT_RENAME, counted from 1) ends the process by SIGKILL
// before anything is renamed, as a kill or a power cut at that moment would; every other
// call goes through.

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_count{0};

long KillAt() {
    const char* text = std::getenv("OMVO_KILL_AT_RENAME");
    return text != nullptr ? std::atol(text) : 0;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    static const long at = KillAt();
    if (at > 0 && ++g_count == at) kill(getpid(), SIGKILL);
    using Rename = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    return next(from, to);
}
