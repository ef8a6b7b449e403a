// Makes memory run out on purpose, for the end-to-end tests. Preloaded into the tool
// (LD_PRELOAD), it takes the place of operator new and fails allocations as the variable
// OMVO_FAILING_ALLOCATION says:
//   "worker"  every allocation on a thread other than the main one;
//   "from:N"  the N-th allocation of the process (counted from 1) and every later one.
// Anything else, or nothing, fails none.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

enum class Mode { None, Worker, From };

struct Setting {
    Mode mode = Mode::None;
    long from = 0;
};

Setting Read() {
    Setting setting;
    const char* text = std::getenv("OMVO_FAILING_ALLOCATION");
    if (text == nullptr) return setting;
    if (std::strcmp(text, "worker") == 0) setting.mode = Mode::Worker;
    if (std::strncmp(text, "from:", 5) == 0) {
        setting.mode = Mode::From;
        setting.from = std::atol(text + 5);
    }
    return setting;
}

std::atomic<long> g_count{0};

bool Fails() {
    static const Setting setting = Read();
    switch (setting.mode) {
        case Mode::None: return false;
        case Mode::Worker: return syscall(SYS_gettid) != getpid();
        case Mode::From: return ++g_count >= setting.from;
    }
    return false;
}

void* Allocate(std::size_t size) {
    if (Fails()) throw std::bad_alloc();
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
