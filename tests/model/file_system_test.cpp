#include "model/file_system.h"

#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velmo;
using velmo::test::TempDir;
using velmo::test::WriteText;

TEST(FileExistsInDir, MatchesNamesAndWildcardsWithoutRegardToCase) {
    TempDir dir;
    WriteText(dir.file("velmo.vlm"), "x");
    WriteText(dir.file("Song.MP3"), "x");
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "velmo.vlm"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "VELMO.VLM"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "song.mp3"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "*.mp3"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "s?ng.*"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "*"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "v*o.v*m"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "velmo1.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "velmo.vl"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "?velmo.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "*.jpg"));
}

TEST(FileExistsInDir, SeesOnlyVisibleRegularFiles) {
    TempDir dir;
    std::filesystem::create_directory(dir.path / "folder.vlm");
    WriteText(dir.file(".hidden.vlm"), "x");
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "folder.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), ".hidden.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), "*.vlm"));
    WriteText(dir.file("readonly.vlm"), "x");
    ::chmod(dir.file("readonly.vlm").c_str(), 0444);
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "*.vlm"));
}

TEST(FileExistsInDir, AcceptsADirectoryWithOrWithoutSeparatorAndFailsQuietly) {
    TempDir dir;
    WriteText(dir.file("a.vlm"), "x");
    EXPECT_TRUE(FileExistsInDir(dir.path.string(), "a.vlm"));
    EXPECT_TRUE(FileExistsInDir(dir.dir(), "a.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir() + "missing/", "a.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.file("a.vlm"), "*"));
    EXPECT_FALSE(FileExistsInDir("", "a.vlm"));
    EXPECT_FALSE(FileExistsInDir(dir.dir(), ""));
    EXPECT_FALSE(FileExistsInDir(dir.path.parent_path().string(), dir.path.filename().string() + "/a.vlm"));
}

TEST(PathSplitting, SplitsAfterTheLastSeparator) {
    EXPECT_EQ(PathDirectory("/home/user/b.vlm"), "/home/user/");
    EXPECT_EQ(PathFileName("/home/user/b.vlm"), "b.vlm");
    EXPECT_EQ(PathDirectory("b.vlm"), "");
    EXPECT_EQ(PathFileName("b.vlm"), "b.vlm");
    EXPECT_EQ(PathDirectory("/x/Dir With Space/"), "/x/Dir With Space/");
    EXPECT_EQ(PathFileName("/x/Dir With Space/"), "");
    EXPECT_EQ(PathDirectory("/Top.VLM"), "/");
    EXPECT_EQ(PathFileName("/Top.VLM"), "Top.VLM");
    EXPECT_TRUE(IsAbsolutePath("/Top.VLM"));
    EXPECT_FALSE(IsAbsolutePath("x/Top.VLM"));
    EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(DeleteFileInDir, DeletesAWritableFileOnly) {
    TempDir dir;
    WriteText(dir.file("a.mp3"), "x");
    WriteText(dir.file("b.mp3"), "x");
    EXPECT_TRUE(DeleteFileInDir(dir.path.string(), "a.mp3"));
    EXPECT_TRUE(DeleteFileInDir(dir.dir(), "b.mp3"));
    EXPECT_TRUE(dir.names().empty());
    EXPECT_FALSE(DeleteFileInDir(dir.dir(), "a.mp3"));
}

TEST(DeleteFileInDir, KeepsReadOnlyFilesAndDirectoriesEvenForRoot) {
    TempDir dir;
    WriteText(dir.file("locked.mp3"), "x");
    ::chmod(dir.file("locked.mp3").c_str(), 0444);
    std::filesystem::create_directory(dir.path / "sub");
    EXPECT_FALSE(DeleteFileInDir(dir.dir(), "locked.mp3"));
    EXPECT_FALSE(DeleteFileInDir(dir.dir(), "sub"));
    EXPECT_FALSE(DeleteFileInDir("", "locked.mp3"));
    EXPECT_EQ(dir.names().size(), 2u);
}

TEST(ExistingFileName, TheNameOnDiskWhateverTheLetterCaseHiddenFilesIncluded) {
    TempDir dir;
    WriteText(dir.file("TEST.VLM"), "x");
    WriteText(dir.file(".backup.vlm"), "x");
    std::filesystem::create_directory(dir.file("folder.vlm"));
    EXPECT_EQ(ExistingFileName(dir.dir(), "test.vlm"), "TEST.VLM");
    EXPECT_EQ(ExistingFileName(dir.dir(), "TEST.VLM"), "TEST.VLM");
    EXPECT_EQ(ExistingFileName(dir.dir(), ".BACKUP.vlm"), ".backup.vlm");
    EXPECT_EQ(ExistingFileName(dir.dir(), "folder.vlm"), std::nullopt);
    EXPECT_EQ(ExistingFileName(dir.dir(), "other.vlm"), std::nullopt);
    EXPECT_EQ(ExistingFileName(dir.dir() + "missing/", "test.vlm"), std::nullopt);
}

TEST(DeleteFileInDir, DeletesTheFileTheExistenceTestFoundUnderItsOwnCase) {
    TempDir dir;
    WriteText(dir.file("TEST.VLM"), "x");
    EXPECT_TRUE(DeleteFileInDir(dir.dir(), "test.vlm"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("TEST.VLM")));
}

TEST(DirectorySnapshot, AnswersAsTheExistenceTestForNamesAndPatterns) {
    TempDir dir;
    WriteText(dir.file("VELMO.VLM"), "x");
    WriteText(dir.file("velmo1.vlm"), "x");
    WriteText(dir.file(".velmo2.vlm"), "x");
    const DirectorySnapshot snapshot(dir.dir());
    for (const char* name : {"velmo.vlm", "VELMO1.VLM", "velmo2.vlm", "v*1.vlm", "*.mp3", "velmo3.vlm"})
        EXPECT_EQ(snapshot.contains(name), FileExistsInDir(dir.dir(), name)) << name;
    EXPECT_TRUE(snapshot.contains("velmo.vlm"));
    EXPECT_FALSE(DirectorySnapshot(dir.dir() + "missing/").contains("velmo.vlm"));
}
