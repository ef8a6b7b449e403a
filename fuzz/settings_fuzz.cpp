// Any bytes as the settings file. A stop or an I/O error is an expected outcome; settings that
// are read hold finite thresholds.
#include <cmath>
#include <cstdlib>

#include "base/errors.hpp"
#include "fuzz_support.hpp"
#include "run/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace omvo;
    const std::string path = fuzz::WriteScratchFile("omvo-covering.ini", fuzz::Bytes(data, size));
    try {
        const run::Settings settings = run::ReadSettings(path);
        if (!std::isfinite(settings.minspeed) || !std::isfinite(settings.mincorner)) std::abort();
    } catch (const base::RunStop&) {
    } catch (const base::InOutError&) {
    }
    return 0;
}
