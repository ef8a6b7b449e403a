#include "base/file_system.hpp"

namespace omvo::base {

namespace {

class SystemFiles final : public FileSystem {
public:
    IoStatus CreateNewFile(const std::string& path, std::FILE*& file) override {
        return base::CreateNewFile(path, file);
    }
    IoStatus WriteAll(std::FILE* file, std::string_view bytes) override {
        return base::WriteAll(file, bytes);
    }
    IoStatus FlushToDisk(std::FILE* file) override { return base::FlushToDisk(file); }
    IoStatus CloseFile(std::FILE* file) override { return base::CloseFile(file); }
    IoStatus MayBeReplaced(const std::string& path, bool& present) override {
        return base::MayBeReplaced(path, present);
    }
    IoStatus RemoveFile(const std::string& path) override { return base::RemoveFile(path); }
    IoStatus RenameReplacing(const std::string& from, const std::string& to) override {
        return base::RenameReplacing(from, to);
    }
    IoStatus KeepAside(const std::string& path, const std::string& backup) override {
        return base::KeepAside(path, backup);
    }
    IoStatus FlushFolderOf(const std::string& path) override { return base::FlushFolderOf(path); }

    IoStatus ReadSmallFile(const std::string& path, std::size_t limit,
                           std::string& bytes) override {
        std::FILE* file = nullptr;
        const IoStatus opened = OpenForReading(path, file);
        if (!opened.ok()) return opened;
        bytes.resize(limit + 1);
        std::size_t got = 0;
        const IoStatus read = ReadSome(file, bytes.data(), bytes.size(), got);
        bytes.resize(got);
        const IoStatus closed = base::CloseFile(file);
        return read.ok() ? closed : read;
    }
};

}  // namespace

FileSystem& SystemFileSystem() {
    static SystemFiles files;
    return files;
}

}  // namespace omvo::base
