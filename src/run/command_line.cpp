#include "run/command_line.hpp"

#include "base/console.hpp"
#include "base/platform.hpp"

namespace omvo::run {

namespace {

constexpr std::string_view kVersion = OMVO_VERSION;

}  // namespace

Request RequestOf(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") return Request::Help;
        if (argument == "/?" && base::IsWindowsBuild()) return Request::Help;
        if (argument == "--version") return Request::Version;
    }
    return Request::Run;
}

void WriteUsage(std::string_view module, std::string_view settingsPath) {
    // Fixed texts go through the console's code page; the names from the file system are
    // written as they are.
    base::ConsoleBytes("omvo-covering ");
    base::ConsoleBytes(kVersion);
    base::ConsoleText(
        ": рисует поездки велоклуба на карте.\r\n"
        "Читает список поездок, GPX-трек каждой поездки и файлы наложений и пишет три\r\n"
        "документа KML: все поездки, поездки по домашнему региону и поездки за его\r\n"
        "пределами.\r\n"
        "\r\n"
        "Запуск: ");
    base::ConsoleBytes(module);
    base::ConsoleText(
        " [файл-наложения ...]\r\n"
        "\r\n"
        "  файл-наложения  описание линии, которая ложится на карту перед поездками\r\n"
        "                  (name=, descr=, style=, file=); файл с именем, как у ключа,\r\n"
        "                  передаётся как ./--help\r\n");
    base::ConsoleText(base::IsWindowsBuild() ? "  -h, --help, /?  эта справка\r\n"
                                             : "  -h, --help      эта справка\r\n");
    base::ConsoleText(
        "  --version       версия программы\r\n"
        "\r\n"
        "Настройки (minspeed, mincorner, vplistname, gpxpath, kmlpath) читаются из файла\r\n"
        "рядом с программой: путь программы с расширением .ini, здесь\r\n");
    base::ConsoleBytes(settingsPath);
    base::ConsoleBytes("\r\n");
}

void WriteVersion() {
    base::ConsoleBytes("omvo-covering ");
    base::ConsoleBytes(kVersion);
    base::ConsoleBytes("\r\n");
}

}  // namespace omvo::run
