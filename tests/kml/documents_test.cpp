#include "kml/documents.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

namespace omvo::kml {
namespace {

namespace fs = std::filesystem;
using omvo::testing::ReadFile;
using omvo::testing::TempDir;

std::string Folder(const TempDir& dir) { return dir.path().string() + "/"; }

struct Contents {
    std::string main, home, far;
};

Contents ReadDocuments(const TempDir& dir) {
    return {ReadFile(dir.File(kMainDocumentName)), ReadFile(dir.File(kHomeDocumentName)),
            ReadFile(dir.File(kFarDocumentName))};
}

std::vector<std::string> TempFiles(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
    }
    return names;
}

// Splits a text at CR LF; fails the test on a bare LF or CR or a missing last line end.
std::vector<std::string> CrLfLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) {
            ADD_FAILURE() << "text does not end with CR LF";
            break;
        }
        const std::string_view line = text.substr(0, end);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << line;
        lines.emplace_back(line);
        text.remove_prefix(end + 2);
    }
    return lines;
}

struct RoutingCase {
    TOutputMode mode;
    bool home;
    bool far;
};

TEST(Documents, RouteEveryWriteToMainAndToTheDocumentsOfTheMode) {
    const RoutingCase cases[] = {
        {TOutputMode::AllDocuments, true, true},
        {TOutputMode::MainAndHome, true, false},
        {TOutputMode::MainAndFar, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        TempDir dir;
        Documents documents(Folder(dir));
        documents.outputMode = c.mode;
        documents.WriteRouted("<a>");
        documents.WriteRoutedLine("b");
        documents.WriteRoutedLine("");
        documents.Close();
        const std::string written = "<a>b\r\n\r\n";
        const Contents got = ReadDocuments(dir);
        EXPECT_EQ(got.main, written);
        EXPECT_EQ(got.home, c.home ? written : "");
        EXPECT_EQ(got.far, c.far ? written : "");
    }
}

TEST(Documents, KeepTheOrderOfWritesAcrossModeChanges) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.WriteRouted("H");
    documents.outputMode = TOutputMode::MainAndFar;
    documents.WriteRouted("o");
    documents.outputMode = TOutputMode::MainAndHome;
    documents.WriteRouted("1");
    documents.outputMode = TOutputMode::MainAndFar;
    documents.WriteRouted("2");
    documents.outputMode = TOutputMode::AllDocuments;
    documents.WriteRouted("F");
    documents.Close();
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, "Ho12F");
    EXPECT_EQ(got.home, "H1F");
    EXPECT_EQ(got.far, "Ho2F");
}

TEST(Documents, WriteNothingForAnEmptyText) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.WriteRouted("");
    documents.Close();
    const Contents got = ReadDocuments(dir);
    EXPECT_TRUE(fs::exists(dir.File(kMainDocumentName)));
    EXPECT_EQ(got.main, "");
    EXPECT_EQ(got.home, "");
    EXPECT_EQ(got.far, "");
}

TEST(Documents, CarryTextsLargerThanTheWriteBufferWhole) {
    TempDir dir;
    std::string big;
    for (int i = 0; big.size() < 700 * 1024; ++i) big += std::to_string(i) + ",";
    {
        Documents documents(Folder(dir));
        documents.WriteRouted("<");
        documents.WriteRouted(big);
        documents.WriteRouted(">");
        documents.Close();
    }
    EXPECT_EQ(ReadDocuments(dir).far, "<" + big + ">");
}

TEST(Documents, AppearUnderTheirFinalNamesOnlyAtClose) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.WriteRouted(DocumentHeader());
    for (std::string_view name : {kMainDocumentName, kHomeDocumentName, kFarDocumentName}) {
        EXPECT_FALSE(fs::exists(dir.File(name))) << name;
        EXPECT_TRUE(fs::exists(dir.File(std::string(name) + ".tmp"))) << name;
    }
    documents.Close();
    EXPECT_TRUE(TempFiles(dir).empty());
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, DocumentHeader());
    EXPECT_EQ(got.home, DocumentHeader());
    EXPECT_EQ(got.far, DocumentHeader());
}

TEST(Documents, ReplaceTheDocumentsOfAnEarlierRunAtClose) {
    TempDir dir;
    dir.Write(kMainDocumentName, "old main, longer than the new one");
    dir.Write(kHomeDocumentName, "old home");
    {
        Documents documents(Folder(dir));
        documents.WriteRouted("new");
        documents.Close();
    }
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, "new");
    EXPECT_EQ(got.home, "new");
    EXPECT_EQ(got.far, "new");
}

TEST(Documents, LeaveTheDocumentsOfAnEarlierRunUntouchedWhenNotClosed) {
    TempDir dir;
    dir.Write(kMainDocumentName, "old main");
    dir.Write(kHomeDocumentName, "old home");
    dir.Write(kFarDocumentName, "old far");
    {
        Documents documents(Folder(dir));
        documents.WriteRouted(DocumentHeader());
        documents.WriteRouted("<Placemark>");
    }
    EXPECT_TRUE(TempFiles(dir).empty());
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, "old main");
    EXPECT_EQ(got.home, "old home");
    EXPECT_EQ(got.far, "old far");
}

TEST(Documents, FailWithInvalidFilenameInAFolderThatDoesNotExist) {
    TempDir dir;
    try {
        Documents documents(Folder(dir) + "missing/");
        FAIL() << "no error";
    } catch (const base::InOutError& error) {
        EXPECT_EQ(error.code, 3);
        EXPECT_STREQ(error.what(), "Invalid filename");
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Documents, RemoveTheTemporaryFilesAlreadyCreatedWhenACreationFails) {
    TempDir dir;
    // A folder in the place of the home document's temporary file cannot be created.
    fs::create_directory(dir.File(std::string(kHomeDocumentName) + ".tmp"));
    EXPECT_THROW(Documents documents(Folder(dir)), base::InOutError);
    EXPECT_FALSE(fs::exists(dir.File(std::string(kMainDocumentName) + ".tmp")));
    EXPECT_FALSE(fs::exists(dir.File(std::string(kFarDocumentName) + ".tmp")));
}

TEST(Documents, ReportAFailedReplacementAndLeaveNoTemporaryFile) {
    TempDir dir;
    // A non-empty folder under the far document's final name cannot be replaced.
    fs::create_directories(dir.File(std::string(kFarDocumentName) + "/x"));
    dir.Write(kMainDocumentName, "old main");
    {
        Documents documents(Folder(dir));
        documents.WriteRouted("new");
        EXPECT_THROW(documents.Close(), base::InOutError);
    }
    EXPECT_TRUE(TempFiles(dir).empty());
    EXPECT_EQ(ReadFile(dir.File(kMainDocumentName)), "old main");
}

TEST(DocumentHeader, HoldsTheFortyThreeLinesWithTheSixLineStyles) {
    const std::vector<std::string> expected = {
        R"(<?xml version="1.0" encoding="UTF-8"?>)",
        R"(<kml xmlns="http://www.opengis.net/kml/2.2" xmlns:gx="http://www.google.com/kml/ext/2.2" xmlns:kml="http://www.opengis.net/kml/2.2" xmlns:atom="http://www.w3.org/2005/Atom">)",
        "<Document>",
        "<name>omvo-covering.kml</name>",
        R"(<Style id="sn_day_trip">)", "<LineStyle>", "<color>99ff5500</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        R"(<Style id="sn_night_trip">)", "<LineStyle>", "<color>99ff0055</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        R"(<Style id="sn_short_voyage">)", "<LineStyle>", "<color>99ff0000</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        R"(<Style id="sn_long_voyage">)", "<LineStyle>", "<color>997f0000</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        R"(<Style id="sn_great_voyage">)", "<LineStyle>", "<color>99000055</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        R"(<Style id="sn_brevet">)", "<LineStyle>", "<color>990000aa</color>",
        "<width>6</width>", "</LineStyle>", "</Style>",
        "<Folder>",
        "<name>omvo-covering</name>",
        "<open>1</open>",
    };
    ASSERT_EQ(expected.size(), 43u);
    EXPECT_EQ(CrLfLines(DocumentHeader()), expected);
}

TEST(DocumentFooter, ClosesTheFolderTheDocumentAndTheRoot) {
    EXPECT_EQ(DocumentFooter(), "</Folder>\r\n</Document>\r\n</kml>\r\n");
}

}  // namespace
}  // namespace omvo::kml
