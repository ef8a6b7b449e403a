#include "support/console_capture.hpp"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <unistd.h>

#include "support/temp_dir.hpp"

namespace omvo::test {

namespace {

// One stream in capture: its descriptor points at a file until the capture ends.
struct Capture {
    int fd;
    int saved = -1;
    std::optional<TempDir> dir;
};

Capture g_stdout{1, -1, {}};
Capture g_stderr{2, -1, {}};

void Start(Capture& capture) {
    if (capture.saved != -1) throw std::logic_error("the stream is already captured");
    std::fflush(nullptr);
    capture.dir.emplace();
    std::FILE* file = std::fopen(capture.dir->File("captured").c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot create the capture file");
    capture.saved = dup(capture.fd);
    dup2(fileno(file), capture.fd);
    std::fclose(file);
}

std::string Finish(Capture& capture) {
    if (capture.saved == -1) throw std::logic_error("the stream is not captured");
    std::fflush(nullptr);
    dup2(capture.saved, capture.fd);
    close(capture.saved);
    capture.saved = -1;
    std::string content = ReadFile(capture.dir->File("captured"));
    capture.dir.reset();
    return content;
}

}  // namespace

void CaptureStdout() { Start(g_stdout); }
void CaptureStderr() { Start(g_stderr); }
std::string GetCapturedStdout() { return Finish(g_stdout); }
std::string GetCapturedStderr() { return Finish(g_stderr); }

}  // namespace omvo::test
