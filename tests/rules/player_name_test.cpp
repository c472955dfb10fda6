#include "rules/player_name.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(PlayerName, MakePlayerName_anyFileName_givesANameThePlayerTakes) {
    struct Case {
        const char* file;
        std::optional<std::string_view> extension;
        const char* expected; // "" for none
    };
    const Case cases[] = {
        {"Croissant Special Offer.jpg", std::nullopt, "CROISSANT_SPECIA.JPG"},
        {"/home/anna/Pictures/Croissant Special Offer.jpg", std::nullopt, "CROISSANT_SPECIA.JPG"},
        {"Crème brûlée à la carte.jpeg", std::nullopt, "CREME_BRULEE_A_L.JPEG"},
        {"Straße & Größe.png", "JPG", "STRASSE_GROSSE.JPG"},
        {"ŁÓDŹ  --  Œuvre.mp4", "MPG", "LODZ_--_OEUVRE.MPG"},
        {"song.mp3", std::nullopt, "SONG.MP3"},
        {"clip.final.v2.avi", std::nullopt, "CLIP_FINAL_V2.AVI"},
        {"  (draft) poster!.PNG", "JPG", "DRAFT_POSTER.JPG"},
        {"ABCDEFGHIJKLMNOP_QRS.mpeg2", std::nullopt, "ABCDEFGHIJKLMNOP.MPEG"},
        {"ABCDEFGHIJKLMNO QRS.mpg", std::nullopt, "ABCDEFGHIJKLMNO.MPG"},
        {"写真.jpg", std::nullopt, ""},
        {"写真 2.jpg", std::nullopt, "2.JPG"},
        {"README", std::nullopt, ""},
        {".hidden", std::nullopt, ""},
        {"bad\xff\xfe.mp3", std::nullopt, "BAD.MP3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(MakePlayerName(c.file, c.extension).value_or(""), c.expected);
    }
}

TEST(PlayerName, PlayerNameVariant_cutsTheBaseSoTheSuffixFits) {
    EXPECT_EQ(PlayerNameVariant("CROISSANT_SPECIA.JPG", 2), "CROISSANT_SPEC-2.JPG");
    EXPECT_EQ(PlayerNameVariant("SONG.MP3", 12), "SONG-12.MP3");
}

// One player name for one file: a different file under a held name gets the next free variant; the
// same file (by path, or as `same` says) keeps it; names compare without regard to case.
TEST(PlayerName, PlayerNameClaims_keepDifferentFilesApart) {
    PlayerNameClaims claims([](const std::string& a, const std::string& b) {
        return a.substr(0, 5) == "twin:" && b.substr(0, 5) == "twin:";
    });
    claims.hold("agyptische_samml.jpg", "folder/AGYPTISCHE_SAMML.JPG");
    claims.hold("LOGO.JPG", ""); // a name of the schedule whose file is still to come
    const struct {
        std::string name;
        std::string file;
        std::string expected;
    } cases[] = {
        {"AGYPTISCHE_SAMML.JPG", "folder/AGYPTISCHE_SAMML.JPG", "AGYPTISCHE_SAMML.JPG"},
        {"AGYPTISCHE_SAMML.JPG", "Ägyptische Sammlung 02 groß.JPG", "AGYPTISCHE_SAM-2.JPG"},
        {"AGYPTISCHE_SAMML.JPG", "Ägyptische Sammlung 03.JPG", "AGYPTISCHE_SAM-3.JPG"},
        {"AGYPTISCHE_SAMML.JPG", "Ägyptische Sammlung 02 groß.JPG", "AGYPTISCHE_SAM-2.JPG"},
        {"LOGO.JPG", "logo.png", "LOGO-2.JPG"},
        {"SONG.MP3", "twin:a/song.mp3", "SONG.MP3"},
        {"SONG.MP3", "twin:b/song.mp3", "SONG.MP3"},
        {"song.mp3", "other/song.mp3", "song-2.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(claims.claim(c.name, c.file).value_or(""), c.expected);
    }
    EXPECT_EQ(claims.holder("agyptische_sam-3.jpg").value_or(""), "Ägyptische Sammlung 03.JPG");
    EXPECT_FALSE(claims.holder("NONE.JPG"));
}

} // namespace
} // namespace velmo
