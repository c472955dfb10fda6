#pragma once

#include "media/media_convert.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace velmo {

struct AppContext;

// The folder player copies are made in: the remembered one, else asked for once and remembered.
// Nothing when the user cancelled.
std::optional<std::string> PlayerCopiesFolder(QWidget* parent, AppContext& context);

// Makes the player copy of each source in `folder`, off the window's thread, with progress and Cancel
// (which stops the one under way and the rest). `done` gets the outcomes of the files dealt with, in
// order, on the window's thread; never once `parent` is gone, which stops the copies too.
void StartPlayerCopies(QWidget* parent, AppContext& context, const std::vector<std::string>& sources,
                       const std::string& folder, std::function<void(std::vector<ConvertOutcome>)> done,
                       const ConvertOptions& options = {});

// The answers to a question about files that will not play as they are.
enum class WontPlayAnswer { MakePlayerCopies, UseAsTheyAre, Cancel };

// Names the copies that failed, each with its reason, in one message; says nothing when none did.
void TellFailedPlayerCopies(QWidget* parent, AppContext& context, const std::vector<ConvertOutcome>& made);

} // namespace velmo
