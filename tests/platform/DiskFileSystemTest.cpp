#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "TestProcess.h"
#include "platform/Platform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
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

void PutFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

TEST(PlatformDiskFileSystem, ReadTakesWholeRegularFilesUpToTheLimit) {
    TempFolder folder;
    auto files = MakeDiskFileSystem();
    PutFile(folder.Path() / "exact", std::string(100, 'x'));
    PutFile(folder.Path() / "over", std::string(101, 'x'));
    fs::create_directory(folder.Path() / "folder");

    const FileRead exact = files->Read((folder.Path() / "exact").string(), 100);
    EXPECT_EQ(exact.status, FileRead::Status::Read);
    EXPECT_EQ(exact.bytes, std::string(100, 'x'));
    EXPECT_EQ(files->Read((folder.Path() / "missing").string(), 100).status, FileRead::Status::Missing);
    EXPECT_EQ(files->Read((folder.Path() / "no" / "such" / "folder").string(), 100).status, FileRead::Status::Missing);

    const FileRead over = files->Read((folder.Path() / "over").string(), 100);
    EXPECT_EQ(over.status, FileRead::Status::Refused);
    EXPECT_NE(over.problem.find("larger than 100 bytes"), std::string::npos) << over.problem;
    EXPECT_TRUE(over.bytes.empty());

    const FileRead dir = files->Read((folder.Path() / "folder").string(), 100);
    EXPECT_EQ(dir.status, FileRead::Status::Refused);
    EXPECT_NE(dir.problem.find("folder"), std::string::npos) << dir.problem;
}

TEST(PlatformDiskFileSystem, AFolderInTheFilesPlaceIsNeverReplaced) {
    TempFolder folder;
    const fs::path path = folder.Path() / "CONFIG.INI";
    fs::create_directory(path);
    EXPECT_NE(MakeDiskFileSystem()->WriteFileAtomic(path.string(), "x=1"), "");
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(FileCount(folder.Path()), 1);
}

TEST(PlatformDiskFileSystem, TemporariesOfEndedProcessesAreRemoved) {
    TempFolder folder;
    const fs::path path = folder.Path() / "CONFIG.INI";
    PutFile(path, "settings");
    // No process ever has this id (above Linux's largest, and not a
    // multiple of four as Windows ids are).
    const fs::path ended = path.string() + ".tmp-99999999";
    const fs::path ours = path.string() + ".tmp-" + ThisProcessId();
    std::vector<fs::path> kept = {path.string() + ".tmp-12ab", path.string() + ".tmp-", path.string() + ".bak",
                                  folder.Path() / "OTHER.INI.tmp-99999999"};
#ifndef _WIN32
    // A running process's file may be a save in progress.
    kept.push_back(path.string() + ".tmp-" + std::to_string(getppid()));
#endif
    for (const fs::path& p : {ended, ours}) PutFile(p, "half");
    for (const fs::path& p : kept) PutFile(p, "keep");
    fs::create_directory(path.string() + ".tmp-99999998");   // not a file

    auto removed = MakeDiskFileSystem()->RemoveStaleTemporaries(path.string());
    std::sort(removed.begin(), removed.end());
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_FALSE(fs::exists(ours));
    for (const fs::path& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::is_directory(path.string() + ".tmp-99999998"));
    EXPECT_EQ(FileText(path), "settings");
}

#ifdef _WIN32
TEST(PlatformDiskFileSystem, AFileHeldOpenIsReplacedOnceReleasedAndAFailureIsReported) {
    TempFolder folder;
    const std::string path = (folder.Path() / "CONFIG.INI").string();
    auto files = MakeDiskFileSystem();
    ASSERT_EQ(files->WriteFileAtomic(path, "old"), "");

    // Held without delete sharing, as an editor or a scanner may hold it.
    const auto hold = [&] {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    };
    HANDLE held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string error = files->WriteFileAtomic(path, "new");
    CloseHandle(held);
    EXPECT_NE(error.find("CONFIG.INI"), std::string::npos) << error;
    EXPECT_EQ(FileText(path), "old");
    EXPECT_EQ(FileCount(folder.Path()), 1);

    // Released while the save still tries: the save succeeds.
    held = hold();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        CloseHandle(held);
    });
    EXPECT_EQ(files->WriteFileAtomic(path, "new"), "");
    release.join();
    EXPECT_EQ(FileText(path), "new");
    EXPECT_EQ(FileCount(folder.Path()), 1);
}
#endif

#ifndef _WIN32
TEST(PlatformDiskFileSystem, AFifoOrADeviceIsRefusedWithoutWaiting) {
    TempFolder folder;
    const fs::path fifo = folder.Path() / "CONFIG.INI";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path endless = folder.Path() / "Config.ini";
    fs::create_symlink("/dev/zero", endless);
    auto files = MakeDiskFileSystem();

    for (const fs::path& path : {fifo, endless}) {
        auto read = std::async(std::launch::async, [&] { return files->Read(path.string(), kMaxSettingsFileBytes); });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Give the blocked reader its writer and an end of file.
            close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
            ADD_FAILURE() << "reading " << path << " blocked";
        }
        const FileRead result = read.get();
        EXPECT_EQ(result.status, FileRead::Status::Refused) << path;
        EXPECT_NE(result.problem.find("not a regular file"), std::string::npos) << result.problem;
        EXPECT_EQ(files->ReadFile(path.string()), std::nullopt);
    }
    // Neither is ever replaced by a save.
    EXPECT_NE(files->WriteFileAtomic(fifo.string(), "x=1"), "");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(FileCount(folder.Path()), 2);
}

TEST(PlatformDiskFileSystem, ASaveThroughALinkReplacesItsTargetAndKeepsTheLink) {
    TempFolder folder;
    const fs::path real = folder.Path() / "settings" / "zrk.ini";
    const fs::path app = folder.Path() / "app";
    fs::create_directories(real.parent_path());
    fs::create_directories(app);
    PutFile(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    // A chain: CONFIG.INI -> shared.ini (relative) -> settings/zrk.ini.
    fs::create_symlink("../settings/zrk.ini", app / "shared.ini");
    fs::create_symlink("shared.ini", app / "CONFIG.INI");
    auto files = MakeDiskFileSystem();

    ASSERT_EQ(files->WriteFileAtomic((app / "CONFIG.INI").string(), "new"), "");
    EXPECT_TRUE(fs::is_symlink(app / "CONFIG.INI"));
    EXPECT_TRUE(fs::is_symlink(app / "shared.ini"));
    EXPECT_EQ(FileText(real), "new");
    EXPECT_EQ(files->ReadFile((app / "CONFIG.INI").string()), "new");
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FileCount(app), 2);
    EXPECT_EQ(FileCount(real.parent_path()), 1);

    // Stale temporaries are looked for beside the link and beside its file.
    PutFile(real.string() + ".tmp-99999999", "half");
    PutFile((app / "CONFIG.INI").string() + ".tmp-99999999", "half");
    EXPECT_EQ(files->RemoveStaleTemporaries((app / "CONFIG.INI").string()).size(), 2u);
    EXPECT_EQ(FileCount(app), 2);
    EXPECT_EQ(FileCount(real.parent_path()), 1);
}

TEST(PlatformDiskFileSystem, ADanglingLinkGetsItsFileAndALoopIsRefused) {
    TempFolder folder;
    const fs::path link = folder.Path() / "CONFIG.INI";
    fs::create_symlink("real.ini", link);
    auto files = MakeDiskFileSystem();
    EXPECT_FALSE(files->Exists(link.string()));
    EXPECT_EQ(files->Read(link.string(), 100).status, FileRead::Status::Missing);

    ASSERT_EQ(files->WriteFileAtomic(link.string(), "default"), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(FileText(folder.Path() / "real.ini"), "default");

    // A link into a folder that does not exist: nothing is created.
    const fs::path nowhere = folder.Path() / "nowhere.ini";
    fs::create_symlink("missing/real.ini", nowhere);
    EXPECT_NE(files->WriteFileAtomic(nowhere.string(), "x"), "");
    EXPECT_TRUE(fs::is_symlink(nowhere));

    const fs::path loop = folder.Path() / "loop.ini";
    fs::create_symlink("loop.ini", loop);
    const std::string error = files->WriteFileAtomic(loop.string(), "x");
    EXPECT_NE(error.find("loop.ini"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(loop));
    EXPECT_EQ(FileCount(folder.Path()), 4);
}

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
