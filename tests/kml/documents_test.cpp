#include "kml/documents.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.hpp"
#include "base/platform.hpp"
#include "support/temp_dir.hpp"

namespace omvo::kml {
namespace {

namespace fs = std::filesystem;
using omvo::test::ReadFile;
using omvo::test::TempDir;

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

TEST(Documents, WriteEveryTextToMainAndToTheDocumentsOfItsRoute) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.Write(Route::AllDocuments, "H");
    documents.Write(Route::MainAndFar, "o");
    documents.Write(Route::MainAndHome, "1");
    documents.Write(Route::MainAndFar, "2");
    documents.Write(Route::AllDocuments, "F\r\n");
    documents.ReplacePrevious();
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, "Ho12F\r\n");
    EXPECT_EQ(got.home, "H1F\r\n");
    EXPECT_EQ(got.far, "Ho2F\r\n");
}

TEST(Documents, CarryExtraFilesOfTheSameRunAndReplaceThemTogether) {
    TempDir dir;
    dir.Write("page.html", "old page");
    dir.Write(kMainDocumentName, "old main");
    {
        Documents documents(Folder(dir), {"page.html", "more.txt"});
        documents.Write(Route::AllDocuments, "K");
        documents.WriteExtra(0, "<html>");
        documents.WriteExtra(1, "more");
        EXPECT_EQ(ReadFile(dir.File("page.html")), "old page");  // until the run completes
    }
    EXPECT_EQ(ReadFile(dir.File("page.html")), "old page");
    EXPECT_EQ(ReadFile(dir.File(kMainDocumentName)), "old main");
    EXPECT_FALSE(fs::exists(dir.File("more.txt")));
    Documents documents(Folder(dir), {"page.html"});
    documents.Write(Route::AllDocuments, "K");
    documents.WriteExtra(0, "<html>");
    documents.ReplacePrevious();
    EXPECT_EQ(ReadFile(dir.File("page.html")), "<html>");
    EXPECT_EQ(ReadFile(dir.File(kMainDocumentName)), "K");
    EXPECT_TRUE(TempFiles(dir).empty());
}

TEST(Documents, WriteNothingForAnEmptyText) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.Write(Route::AllDocuments, "");
    documents.ReplacePrevious();
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
        documents.Write(Route::AllDocuments, "<");
        documents.Write(Route::AllDocuments, big);
        documents.Write(Route::AllDocuments, ">");
        documents.ReplacePrevious();
    }
    EXPECT_EQ(ReadDocuments(dir).far, "<" + big + ">");
}

TEST(Documents, AppearUnderTheirFinalNamesOnlyAtClose) {
    TempDir dir;
    Documents documents(Folder(dir));
    documents.Write(Route::AllDocuments, DocumentHeader());
    for (std::string_view name : {kMainDocumentName, kHomeDocumentName, kFarDocumentName}) {
        EXPECT_FALSE(fs::exists(dir.File(name))) << name;
        EXPECT_TRUE(fs::exists(dir.File(std::string(name) + ".tmp"))) << name;
    }
    documents.ReplacePrevious();
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
        documents.Write(Route::AllDocuments, "new");
        documents.ReplacePrevious();
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
        documents.Write(Route::AllDocuments, DocumentHeader());
        documents.Write(Route::AllDocuments, "<Placemark>");
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
        EXPECT_EQ(error.error, base::IoError::InvalidFilename);
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

TEST(Documents, RefuseAFinalNameThatIsAFolderBeforeReplacingAny) {
    // At creation: the run stops before it begins.
    {
        TempDir dir;
        fs::create_directory(dir.File(kFarDocumentName));
        EXPECT_THROW(Documents documents(Folder(dir)), base::InOutError);
        EXPECT_TRUE(TempFiles(dir).empty());
    }
    // At close: a folder that appeared under the main document's name (renamed last) is
    // found before the far and home documents of the earlier run are replaced.
    TempDir dir;
    dir.Write(kHomeDocumentName, "old home");
    dir.Write(kFarDocumentName, "old far");
    {
        Documents documents(Folder(dir));
        documents.Write(Route::AllDocuments, "new");
        fs::create_directory(dir.File(kMainDocumentName));
        try {
            documents.ReplacePrevious();
            FAIL() << "no error";
        } catch (const base::InOutError& error) {
            EXPECT_EQ(error.error, base::IoError::AccessDenied);
            EXPECT_EQ(error.path, Folder(dir) + std::string(kMainDocumentName));
        }
    }
    EXPECT_TRUE(TempFiles(dir).empty());
    EXPECT_EQ(ReadFile(dir.File(kHomeDocumentName)), "old home");
    EXPECT_EQ(ReadFile(dir.File(kFarDocumentName)), "old far");
}

TEST(Documents, AreAllReplacedOrNoneWhileAViewerHoldsOneOpen) {
    TempDir dir;
    dir.Write(kMainDocumentName, "old main");
    dir.Write(kHomeDocumentName, "old home");
    dir.Write(kFarDocumentName, "old far");
    Documents documents(Folder(dir));
    documents.Write(Route::AllDocuments, "new");
    // Open as a viewer opens it: sharing reading and writing, not deletion. On Windows that
    // keeps the main document, renamed last, from being replaced; POSIX systems let it go.
    std::ifstream viewer(dir.File(kMainDocumentName), std::ios::binary);
    ASSERT_TRUE(viewer.is_open());
    if (!base::IsWindowsBuild()) {
        documents.ReplacePrevious();
        EXPECT_EQ(ReadDocuments(dir).main, "new");
        EXPECT_EQ(ReadDocuments(dir).far, "new");
        return;
    }
    try {
        documents.ReplacePrevious();
        FAIL() << "no error";
    } catch (const base::InOutError& error) {
        EXPECT_EQ(error.error, base::IoError::AccessDenied);
        EXPECT_EQ(error.path, Folder(dir) + std::string(kMainDocumentName));
    }
    const Contents got = ReadDocuments(dir);
    EXPECT_EQ(got.main, "old main");
    EXPECT_EQ(got.home, "old home");
    EXPECT_EQ(got.far, "old far");
}

}  // namespace
}  // namespace omvo::kml
