#pragma once

// The name a media file gets on the player's medium: what the player's name rule allows (upper
// case, at most 16 characters and a 4-character extension, letters, digits, '_' and '-'), made
// from any file name the user has. Shared by the tool's `media` and `convert` and the editor.

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

// The n-th alternative (n from 2) for a name taken by another file: "CROISSANT_SPE-2.JPG", the base
// cut so that the suffix fits.
std::string PlayerNameVariant(const std::string& playerName, int n);

} // namespace velmo
