#include "run/settings.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/errors.hpp"
#include "support/console_capture.hpp"
#include "support/temp_dir.hpp"

namespace omvo::run {
namespace {

constexpr const char* kComplete =
    "minspeed=3\nmincorner=12\nvplistname=list.txt\ngpxpath=gpx/\nkmlpath=out/\n";

struct Outcome {
    std::optional<Settings> settings;
    int exitCode = 0;
    std::string out;
    std::string err;
};

Outcome Read(const std::string& content) {
    test::TempDir dir;
    std::string path = dir.Write("omvo-covering.ini", content);
    Outcome outcome;
    test::CaptureStdout();
    test::CaptureStderr();
    try {
        outcome.settings = ReadSettings(path);
    } catch (const base::RunStop& stop) {
        outcome.exitCode = stop.exitCode;
    }
    outcome.out = test::GetCapturedStdout();
    outcome.err = test::GetCapturedStderr();
    const std::size_t at = outcome.err.find(path);
    if (at != std::string::npos) outcome.err.replace(at, path.size(), "S");
    return outcome;
}

TEST(Settings, ReadsKeysValuesAndComments) {
    const struct {
        const char* what;
        std::string content;
        double minspeed, mincorner;
        std::string vplistname, gpxpath, kmlpath;
    } cases[] = {
        {"plain file", kComplete, 3, 12, "list.txt", "gpx/", "out/"},
        {"empty, blank and comment lines are skipped",
         std::string("\n   \n;minspeed=9\n") + kComplete, 3, 12, "list.txt", "gpx/", "out/"},
        {"a comment and blanks after a number are cut",
         std::string(kComplete) + "minspeed=4.5   ; km/h\n", 4.5, 12, "list.txt", "gpx/", "out/"},
        {"a number value may start with blanks",
         std::string(kComplete) + "mincorner=  -7\n", 3, -7, "list.txt", "gpx/", "out/"},
        {"a path value keeps its leading blanks and is cut at ';'",
         std::string(kComplete) + "kmlpath= my out/;old\n", 3, 12, "list.txt", "gpx/", " my out/"},
        {"a key after other text is found",
         std::string(kComplete) + "set gpxpath=tracks/\n", 3, 12, "list.txt", "tracks/", "out/"},
        {"one line can set two path keys",
         std::string(kComplete) + "vplistname=a.txt kmlpath=k/\n", 3, 12, "a.txt kmlpath=k/",
         "gpx/", "k/"},
        {"the last line with a key wins",
         std::string(kComplete) + "minspeed=0\nmincorner=0\n", 0, 0, "list.txt", "gpx/", "out/"},
        {"CR LF line ends", "minspeed=1\r\nmincorner=2\r\nvplistname=v\r\ngpxpath=g\r\nkmlpath=k\r\n",
         1, 2, "v", "g", "k"},
        {"a key in another case sets nothing",
         std::string(kComplete) + "MINSPEED=9\nminspeed =8\n", 3, 12, "list.txt", "gpx/", "out/"},
        {"after minspeed only its value is searched",
         std::string(kComplete) + "minspeed=5\n", 5, 12, "list.txt", "gpx/", "out/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome outcome = Read(c.content);
        ASSERT_TRUE(outcome.settings.has_value()) << outcome.out;
        EXPECT_EQ(outcome.settings->minspeed, c.minspeed);
        EXPECT_EQ(outcome.settings->mincorner, c.mincorner);
        EXPECT_EQ(outcome.settings->vplistname, c.vplistname);
        EXPECT_EQ(outcome.settings->gpxpath, c.gpxpath);
        EXPECT_EQ(outcome.settings->kmlpath, c.kmlpath);
        EXPECT_EQ(outcome.out, "");
    }
}

TEST(Settings, StopsOnAnIncompleteFile) {
    const struct { const char* what; std::string content; } cases[] = {
        {"no key at all", "hello\n"},
        {"empty file", ""},
        {"minspeed of -1 counts as not given", std::string(kComplete) + "minspeed=-1\n"},
        {"mincorner of -1.0 counts as not given", std::string(kComplete) + "mincorner=-1.0\n"},
        {"empty kmlpath", "minspeed=3\nmincorner=12\nvplistname=l\ngpxpath=g\nkmlpath=\n"},
        {"kmlpath of a comment only", "minspeed=3\nmincorner=12\nvplistname=l\ngpxpath=g\nkmlpath=;x\n"},
        {"missing gpxpath", "minspeed=3\nmincorner=12\nvplistname=l\nkmlpath=k\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome outcome = Read(c.content);
        EXPECT_FALSE(outcome.settings.has_value());
        EXPECT_EQ(outcome.exitCode, 1);
        // "файл " ... " содержит не все данные!" in CP866
        EXPECT_TRUE(outcome.out.starts_with("\xE4\xA0\xA9\xAB "));
        EXPECT_TRUE(outcome.out.ends_with(
            " \xE1\xAE\xA4\xA5\xE0\xA6\xA8\xE2 \xAD\xA5 \xA2\xE1\xA5 \xA4\xA0\xAD\xAD\xEB\xA5!\r\n"));
    }
}

TEST(Settings, StopsOnANumberThatCannotBeRead) {
    const char* values[] = {"minspeed=", "minspeed=3,5", "minspeed=3kmh", "mincorner=12\t",
                            "mincorner=abc", "minspeed=1e999"};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        Outcome outcome = Read(std::string(kComplete) + value + "\n");
        EXPECT_FALSE(outcome.settings.has_value());
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.out, "");  // the message goes to standard error
    }
}

TEST(Settings, ReadsTheSwitchesAsZeroOrOne) {
    const struct {
        const char* what;
        std::string lines;
        bool isotimes, cutgaps, routes;
    } cases[] = {
        {"absent: all off", "", false, false, false},
        {"all on", "isotimes=1\ncutgaps=1\nroutes=1\n", true, true, true},
        {"all off", "isotimes=0\ncutgaps=0\nroutes=0\n", false, false, false},
        {"a comment and blanks after the value are cut", "cutgaps=1   ; km\n", false, true, false},
        {"a key after other text is found, the last line wins",
         "set routes=1\nisotimes=1\nisotimes=0\n", false, false, true},
        {"a key after a path value is found too", "kmlpath=out/ routes=1\n", false, false, true},
        {"a commented key sets nothing", ";isotimes=1\n", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome outcome = Read(std::string(kComplete) + c.lines);
        ASSERT_TRUE(outcome.settings.has_value()) << outcome.err;
        EXPECT_EQ(outcome.settings->isotimes, c.isotimes);
        EXPECT_EQ(outcome.settings->cutgaps, c.cutgaps);
        EXPECT_EQ(outcome.settings->routes, c.routes);
    }
}

TEST(Settings, StopsOnASwitchOtherThanZeroOrOne) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"isotimes=1 cutgaps=1", "the value of \"isotimes=\" is not 0 or 1: \"1 cutgaps=1\""},
        {"cutgaps=", "the value of \"cutgaps=\" is not 0 or 1: \"\""},
        {"routes=yes", "the value of \"routes=\" is not 0 or 1: \"yes\""},
        {"routes= 1", "the value of \"routes=\" is not 0 or 1: \" 1\""},
        {"isotimes=1\t", "the value of \"isotimes=\" is not 0 or 1: \"1\t\""},
        {"cutgaps=01", "the value of \"cutgaps=\" is not 0 or 1: \"01\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Outcome outcome = Read(std::string(kComplete) + c.line + "\n");
        EXPECT_FALSE(outcome.settings.has_value());
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err,
                  std::string("omvo-covering: settings file S: ") + c.message + "\r\n");
    }
}

TEST(Settings, StopsWhenTheFileIsMissing) {
    test::TempDir dir;
    std::string path = dir.File("omvo-covering.ini");
    test::CaptureStdout();
    EXPECT_THROW(ReadSettings(path), base::RunStop);
    // "Отсутствует файл " in CP866
    EXPECT_EQ(test::GetCapturedStdout(),
              "\x8E\xE2\xE1\xE3\xE2\xE1\xE2\xA2\xE3\xA5\xE2 \xE4\xA0\xA9\xAB " + path + "\r\n");
}

}  // namespace
}  // namespace omvo::run
