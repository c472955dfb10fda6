#pragma once

#include <QStringList>

#include <string>
#include <vector>

class QWidget;

namespace velmo {

struct AppContext;

// Before files join a list: examines them off the window's thread and, when one will not play or
// has a name the player does not take, says which and why, file by file, and offers "Add a player
// copy" (made in the player copies folder, chosen once, off the window's thread with progress and
// Cancel) or "Add anyway". Gives the files to add, in the order given: each as it is, its player
// copy, or left out. With `notAdded`, each file left out (by Cancel, or a copy that failed, with
// its reason) is named there for the caller's one message about what was not added, instead of in a
// message of its own.
QStringList AskAboutAddedMedia(QWidget* parent, AppContext& context, const QStringList& paths,
                               std::vector<std::string>* notAdded = nullptr);

} // namespace velmo
