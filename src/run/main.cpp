// omvo-covering: draws the club's trips on a map as three KML documents.
// The only place that turns run-ending failures into the failure report and an exit code.

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "base/console.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "run/command_line.hpp"
#include "run/run.hpp"

namespace {

// Writes the failure report, and the file's path with what failed when there is one,
// without allocating; returns the exit code.
int Report(std::string_view module, std::string_view kind, std::string_view message,
           std::string_view path = {}, std::string_view operation = {}) noexcept {
    try {
        for (std::string_view part : omvo::base::FailureReportParts(kind, module, message)) {
            omvo::base::ErrorBytes(part);
        }
        if (!path.empty()) {
            omvo::base::ErrorBytes("omvo-covering: the file was ");
            omvo::base::ErrorBytes(path);
            if (!operation.empty()) {
                omvo::base::ErrorBytes(", while ");
                omvo::base::ErrorBytes(operation);
            }
            omvo::base::ErrorBytes("\r\n");
        }
    } catch (...) {  // a console window's text, which takes memory: nothing more to do
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace omvo;
    // Until the executable's path is known, a report names the module by its usual name,
    // which takes no memory.
    std::string_view module = base::IsWindowsBuild() ? "omvo-covering.exe" : "omvo-covering";
    std::string moduleName;
    try {
        // A closed console pipe or an exceeded file-size limit is a failed write, reported
        // and cleaned up like any other, not a silent kill that leaves temporary documents
        // behind; a stop signal removes the temporary documents before it ends the process.
        base::InstallSignalHandling();
        // Before any file is opened: a standard stream the tool was started without must not
        // lead into a document.
        base::InitConsole();
        const std::string executable =
            base::ExecutablePath(argc > 0 ? argv[0] : "omvo-covering");
        moduleName = base::FileNameOf(executable);
        module = moduleName;
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        // A request for help or the version reads and writes no file.
        switch (run::RequestOf(arguments)) {
            case run::Request::Help:
                run::WriteUsage(moduleName, base::SettingsPathFor(executable));
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
        return Report(module, "EInOutError", error.what(), error.path, error.operation);
    } catch (const std::bad_alloc&) {
        return Report(module, "EOutOfMemory", "Out of memory");
    } catch (const std::exception& error) {
        return Report(module, "Exception", error.what());
    }
}
