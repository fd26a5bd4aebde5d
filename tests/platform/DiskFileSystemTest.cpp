#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "TestProcess.h"
#include "platform/Platform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zrk {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

std::string ThisProcessId() {
#ifdef _WIN32
    return std::to_string(GetCurrentProcessId());
#else
    return std::to_string(getpid());
#endif
}

int FileCount(const fs::path& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
}

// Bytes a text-mode file would change: line ends, a NUL, a Ctrl+Z.
const char kRawBytes[] = "[Board]\r\nSerial=1\n\0\x1a end";
const std::string kBinaryBytes(kRawBytes, sizeof kRawBytes - 1);

TEST(PlatformDiskFileSystem, AtomicWriteReplacesContentAndLeavesNoTempFile) {
    TempFolder folder;
    const std::string path = (folder.Path() / "CONFIG.INI").string();
    auto files = MakeDiskFileSystem();
    EXPECT_FALSE(files->Exists(path));
    EXPECT_EQ(files->ReadFile(path), std::nullopt);

    ASSERT_EQ(files->WriteFileAtomic(path, "a much longer first content"), "");
    ASSERT_EQ(files->WriteFileAtomic(path, kBinaryBytes), "");

    EXPECT_TRUE(files->Exists(path));
    EXPECT_EQ(files->ReadFile(path), kBinaryBytes);
    EXPECT_EQ(FileCount(folder.Path()), 1);
}

TEST(PlatformDiskFileSystem, TakesBothSeparators) {
    TempFolder folder;
    const std::string base = folder.Path().string();
    auto files = MakeDiskFileSystem();
    ASSERT_EQ(files->WriteFileAtomic(base + "\\CONFIG.INI", "x=1"), "");
    EXPECT_TRUE(files->Exists(base + "/CONFIG.INI"));
    EXPECT_EQ(files->ReadFile(base + "/CONFIG.INI"), "x=1");
    EXPECT_TRUE(fs::exists(folder.Path() / "CONFIG.INI"));
}

TEST(PlatformDiskFileSystem, WriteIntoMissingFolderFailsAndCreatesNothing) {
    TempFolder folder;
    const std::string path = (folder.Path() / "missing" / "CONFIG.INI").string();
    const std::string error = MakeDiskFileSystem()->WriteFileAtomic(path, "x=1");
    EXPECT_NE(error.find("CONFIG.INI"), std::string::npos) << error;
    EXPECT_EQ(FileCount(folder.Path()), 0);
}

TEST(PlatformDiskFileSystem, FailedWriteKeepsTheOldFile) {
    TempFolder folder;
    const fs::path path = folder.Path() / "CONFIG.INI";
    auto files = MakeDiskFileSystem();
    ASSERT_EQ(files->WriteFileAtomic(path.string(), "old"), "");
    // A folder where the temporary file would go makes the write fail, even
    // for an administrator.
    const fs::path blocker = path.string() + ".tmp-" + ThisProcessId();
    fs::create_directory(blocker);

    const std::string error = files->WriteFileAtomic(path.string(), "new");
    EXPECT_NE(error.find("CONFIG.INI"), std::string::npos) << error;
    EXPECT_EQ(files->ReadFile(path.string()), "old");
    EXPECT_TRUE(fs::is_directory(blocker));
}

#ifndef _WIN32
TEST(PlatformDiskFileSystem, ReplacedFileKeepsItsPermissions) {
    TempFolder folder;
    const std::string path = (folder.Path() / "CONFIG.INI").string();
    auto files = MakeDiskFileSystem();
    ASSERT_EQ(files->WriteFileAtomic(path, "old"), "");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(files->WriteFileAtomic(path, "new"), "");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}
#endif

} // namespace
} // namespace zrk
