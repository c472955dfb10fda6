#pragma once

#include <QStringList>

class QWidget;

namespace velmo {

struct AppContext;

// Before files join a list: examines them off the window's thread and, when one will not play or
// has a name the player does not take, says which and why, file by file, and offers "Add a player
// copy" (made in the player copies folder, chosen once, off the window's thread with progress and
// Cancel) or "Add anyway". Gives the files to add, in the order given: each as it is, its player
// copy, or left out.
QStringList AskAboutAddedMedia(QWidget* parent, AppContext& context, const QStringList& paths);

} // namespace velmo
