#include "model/media_folder.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmo {
namespace {

TEST(MediaFolder, RegularVisibleFiles_letterCaseIgnored) {
    const test::TempDir dir;
    const std::filesystem::path& root = dir.path;
    std::ofstream(root / "Song.mp3") << "x";
    std::ofstream(root / ".HIDDEN.MP3") << "x";
    std::filesystem::create_directory(root / "CLIP.AVI");
    std::filesystem::create_symlink(root / "Song.mp3", root / "LINK.MP3");
    const MediaFolder folder(dir.dir());
    EXPECT_TRUE(folder.contains("SONG.MP3"));
    EXPECT_TRUE(folder.contains("song.MP3"));
    EXPECT_TRUE(folder.contains("LINK.MP3"));
    EXPECT_FALSE(folder.contains("HIDDEN.MP3"));
    EXPECT_FALSE(folder.contains(".HIDDEN.MP3"));
    EXPECT_FALSE(folder.contains("CLIP.AVI"));
    EXPECT_FALSE(MediaFolder(dir.file("missing")).contains("SONG.MP3"));
    EXPECT_FALSE(MediaFolder("").contains("SONG.MP3"));
}

TEST(MediaFolder, SeveralFolders_aNameInAnyOfThemCounts) {
    const test::TempDir first;
    const test::TempDir second;
    std::ofstream(first.path / "intro.mpg") << "x";
    std::ofstream(second.path / "SONG.MP3") << "x";
    const MediaFolder folders(std::vector<std::string>{first.dir(), second.file("missing"), second.dir()});
    EXPECT_TRUE(folders.contains("INTRO.MPG"));
    EXPECT_TRUE(folders.contains("SONG.MP3"));
    EXPECT_FALSE(folders.contains("GONE.AVI"));
}

TEST(MediaFolder, Listings_sayWhichFolderCannotBeRead_andPreferTheUpperCaseSpelling) {
    const test::TempDir dir;
    std::ofstream(dir.path / "song.mp3") << "x";
    std::ofstream(dir.path / "SONG.MP3") << "x";
    std::ofstream(dir.path / "Clip.avi") << "x";
    const MediaFolder folders(std::vector<std::string>{dir.file("missing"), dir.dir(), ""});
    ASSERT_EQ(folders.folders().size(), 3u);
    EXPECT_FALSE(folders.folders()[0].readable);
    EXPECT_NE(folders.folders()[0].error.find("No such file"), std::string::npos)
        << folders.folders()[0].error;
    EXPECT_FALSE(folders.folders()[2].readable);
    const MediaFolder::Listing& listing = folders.folders()[1];
    EXPECT_EQ(listing.dir, dir.dir());
    EXPECT_EQ(listing.find("song.mp3"), std::optional<std::string>("SONG.MP3"));
    EXPECT_EQ(listing.find("CLIP.AVI"), std::optional<std::string>("Clip.avi"));
    EXPECT_EQ(listing.find("GONE.AVI"), std::nullopt);
}

} // namespace
} // namespace velmo
