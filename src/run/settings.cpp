#include "run/settings.hpp"

#include <optional>
#include <string_view>

#include "base/console.hpp"
#include "base/decimal.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"

namespace omvo::run {

namespace {

// A line without its comment (from the first ";") and without trailing blanks.
std::string_view CleanLine(std::string_view line) {
    if (std::size_t semicolon = line.find(';'); semicolon != std::string_view::npos) {
        line = line.substr(0, semicolon);
    }
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    return line;
}

// Writes that the key's value is not what it must be, naming the settings file, and stops
// the run.
[[noreturn]] void StopOnBadValue(const std::string& settingsPath, std::string_view key,
                                 std::string_view what, std::string_view value) {
    std::string message = "omvo-covering: settings file ";
    message.append(settingsPath).append(": the value of \"").append(key);
    message.append("\" is not ").append(what).append(": \"").append(value).append("\"\r\n");
    base::ErrorBytes(message);
    throw base::RunStop(1);
}

// The rest of the line after the first occurrence of the key, when the line holds it.
std::optional<std::string_view> ValueAfter(std::string_view line, std::string_view key) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    return line.substr(at + key.size());
}

// For "minspeed=" and "mincorner=": when the key is in the line, the line becomes its
// value and the value must be a number.
void TakeNumber(std::string_view& line, std::string_view key, double& field,
                const std::string& settingsPath) {
    const std::optional<std::string_view> text = ValueAfter(line, key);
    if (!text) return;
    line = *text;
    const std::optional<double> value = base::ParseDecimal(line);
    if (!value) StopOnBadValue(settingsPath, key, "a number", line);
    field = *value;
}

// A switch: its value must be exactly 0 or 1, so one line holds one switch.
void TakeSwitch(std::string_view line, std::string_view key, bool& field,
                const std::string& settingsPath) {
    const std::optional<std::string_view> value = ValueAfter(line, key);
    if (!value) return;
    if (*value != "0" && *value != "1") StopOnBadValue(settingsPath, key, "0 or 1", *value);
    field = *value == "1";
}

void TakeText(std::string_view line, std::string_view key, std::string& field) {
    if (const std::optional<std::string_view> value = ValueAfter(line, key)) field.assign(*value);
}

}  // namespace

Settings ReadSettings(const std::string& settingsPath) {
    Settings settings;
    if (!base::FileExists(settingsPath)) {
        base::ConsoleText("Отсутствует файл ");
        base::ConsoleBytes(settingsPath);
        base::ConsoleText("\r\n");
        throw base::RunStop(1);
    }
    base::TextFile file(settingsPath);
    std::string_view line;
    while (file.NextLine(line)) {
        line = CleanLine(line);
        TakeNumber(line, "minspeed=", settings.minspeed, settingsPath);
        TakeNumber(line, "mincorner=", settings.mincorner, settingsPath);
        TakeText(line, "vplistname=", settings.vplistname);
        TakeText(line, "gpxpath=", settings.gpxpath);
        TakeText(line, "kmlpath=", settings.kmlpath);
        TakeSwitch(line, "isotimes=", settings.isotimes, settingsPath);
        TakeSwitch(line, "cutgaps=", settings.cutgaps, settingsPath);
        TakeSwitch(line, "routes=", settings.routes, settingsPath);
        TakeSwitch(line, "webpage=", settings.webpage, settingsPath);
    }
    file.Close();
    bool complete = settings.minspeed != -1.0 && settings.mincorner != -1.0 &&
                    !settings.gpxpath.empty() && !settings.kmlpath.empty() &&
                    !settings.vplistname.empty();
    if (!complete) {
        base::ConsoleText("файл ");
        base::ConsoleBytes(settingsPath);
        base::ConsoleText(" содержит не все данные!\r\n");
        throw base::RunStop(1);
    }
    return settings;
}

}  // namespace omvo::run
