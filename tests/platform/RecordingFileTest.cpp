// The file of zrk-tq --record on the disk: appends go on after a replace,
// a replace that fails leaves the file whole and writable at its end, and
// a closed file takes nothing more. (A write the disk takes only part of
// is tested on the real program, by record_session_test.py.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/RecordingFile.h"

namespace zrk {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The disk's file system, whose replace can be made to fail.
struct FailingReplace : IFileSystem {
    explicit FailingReplace(IFileSystem& disk) : disk(disk) {}
    bool Exists(const std::string& p) override { return disk.Exists(p); }
    FileRead Read(const std::string& p, std::size_t max) override { return disk.Read(p, max); }
    std::string WriteFileAtomic(const std::string& p, const std::string& b) override
    {
        return fail.empty() ? disk.WriteFileAtomic(p, b) : fail;
    }
    std::vector<std::string> RemoveStaleTemporaries(const std::string& p) override
    {
        return disk.RemoveStaleTemporaries(p);
    }
    IFileSystem& disk;
    std::string fail;
};

struct RecordingFileTest : ::testing::Test {
    void SetUp() override
    {
        folder = fs::temp_directory_path()
                 / (std::string("zrk-recording-file-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = folder / "session.zrkrec";
    }
    void TearDown() override { fs::remove_all(folder); }
    std::unique_ptr<IFileSystem> disk = MakeDiskFileSystem();
    FailingReplace files{*disk};
    fs::path folder, path;
};

TEST_F(RecordingFileTest, AppendsGoOnAfterAReplaceAndNoTemporaryStays)
{
    {
        std::ofstream(path, std::ios::binary) << "an older recording";
    }
    std::string error;
    auto file = RecordingFile::Create(path.string(), files, error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(Contents(path), "");   // a new recording starts empty
    EXPECT_EQ(file->Append("header+one"), "");
    EXPECT_EQ(file->Append("+two"), "");
    EXPECT_EQ(Contents(path), "header+one+two");   // on disk at once, unbuffered
    EXPECT_EQ(file->Replace("header+two"), "");
    EXPECT_EQ(file->Append("+three"), "");
    EXPECT_EQ(Contents(path), "header+two+three");
    EXPECT_EQ(file->Length(), 16u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(RecordingFileTest, AFailedReplaceKeepsTheFileAndItsEnd)
{
    std::string error;
    auto file = RecordingFile::Create(path.string(), files, error);
    ASSERT_TRUE(file) << error;
    ASSERT_EQ(file->Append("header+one"), "");
    files.fail = "cannot write session.zrkrec.tmp-1: No space left on device";
    EXPECT_EQ(file->Replace("header"), files.fail);
    EXPECT_EQ(Contents(path), "header+one");
    // The recorder stops on the error; were it to write on, it would go at the end.
    EXPECT_EQ(file->Append("+two"), "");
    EXPECT_EQ(Contents(path), "header+one+two");
}

TEST_F(RecordingFileTest, AClosedFileTakesNothingMoreAndAMissingFolderIsRefused)
{
    std::string error;
    auto file = RecordingFile::Create(path.string(), files, error);
    ASSERT_TRUE(file) << error;
    ASSERT_EQ(file->Append("header+one"), "");
    file->Close();
    EXPECT_NE(file->Append("+two"), "");
    EXPECT_EQ(Contents(path), "header+one");

    EXPECT_FALSE(RecordingFile::Create((folder / "missing" / "x.zrkrec").string(), files, error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(fs::exists(folder / "missing"));
}

} // namespace
} // namespace zrk
