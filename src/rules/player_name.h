#pragma once

// The name a media file gets on the player's medium: what the player's name rule allows (upper
// case, at most 16 characters and a 4-character extension, letters, digits, '_' and '-'), made
// from any file name the user has. Shared by the tool's `media` and `convert` and the editor.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// "Croissant Special Offer.jpg" -> "CROISSANT_SPECIA.JPG": the file name (directories dropped) split
// at its last dot; accents dropped from Latin letters, spaces and other marks made '_' (one for a
// run), other characters left out, upper-cased and cut to the limits. `extension` (without the
// dot), when given, replaces the file's own. Nothing when no base or no extension is left.
std::optional<std::string> MakePlayerName(std::string_view fileName,
                                          std::optional<std::string_view> extension = std::nullopt);

// The n-th alternative (n from 2) for a name taken by another file: "CROISSANT_SPEC-2.JPG", the base
// cut so that the suffix fits in 16.
std::string PlayerNameVariant(const std::string& playerName, int n);

// Keeps one player name for one file within a schedule, its media folders and a player-copies
// folder: a file claims its player name, and when a different file already holds that name it gets
// the first variant nobody holds ("AGYPTISCHE_SAMML.JPG" -> "AGYPTISCHE_SAM-2.JPG"). Files are
// named as the caller likes (a path); `same` says whether two of them are one file (the same path,
// or the same bytes), which may share a name. Names compare without regard to case.
class PlayerNameClaims {
public:
    using SameFile = std::function<bool(const std::string& a, const std::string& b)>;
    explicit PlayerNameClaims(SameFile same = {});

    // A name already held, by a file already there (a schedule's entry, a folder's file).
    void hold(const std::string& name, const std::string& file);
    // The name `file` gets for `playerName`; held from then on. Nothing when every variant is taken.
    std::optional<std::string> claim(const std::string& playerName, const std::string& file);
    // The file holding a name, or nothing.
    std::optional<std::string> holder(const std::string& name) const;

private:
    bool sameFile(const std::string& a, const std::string& b) const;
    SameFile same_;
    std::map<std::string, std::string> holders_; // upper-cased name -> file
};

} // namespace velmo
