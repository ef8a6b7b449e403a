// omvo-covering: draws the club's trips on a map as three KML documents.
// The only place that turns run-ending failures into the failure report and an exit code.

#include <new>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "run/command_line.hpp"
#include "run/run.hpp"

namespace {

int Report(const std::string& module, std::string_view kind, std::string_view message) {
    omvo::base::ErrorBytes(omvo::base::FailureReport(kind, module, message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace omvo;
    // A closed console pipe or an exceeded file-size limit is a failed write, reported and
    // cleaned up like any other, not a silent kill that leaves temporary documents behind;
    // a stop signal removes the temporary documents before it ends the process.
    base::InstallSignalHandling();
    base::InitConsole();
    const std::string executable = base::ExecutablePath(argc > 0 ? argv[0] : "omvo-covering");
    const std::string module = base::FileNameOf(executable);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        // A request for help or the version reads and writes no file.
        switch (run::RequestOf(arguments)) {
            case run::Request::Help:
                run::WriteUsage(module, base::SettingsPathFor(executable));
                return 0;
            case run::Request::Version:
                run::WriteVersion();
                return 0;
            case run::Request::Run:
                break;
        }
        return run::Run(base::SettingsPathFor(executable), arguments);
    } catch (const base::RunStop& stop) {
        return stop.exitCode;
    } catch (const base::InOutError& error) {
        int code = Report(module, "EInOutError", error.what());
        if (!error.path.empty()) {
            base::ErrorBytes("omvo-covering: the file was " + error.path + "\r\n");
        }
        return code;
    } catch (const std::bad_alloc&) {
        return Report(module, "EOutOfMemory", "Out of memory");
    } catch (const std::exception& error) {
        return Report(module, "Exception", error.what());
    }
}
