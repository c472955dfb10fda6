#pragma once

#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace velmo {

struct AppContext;
class MediaProbeCache;

// What the question on adding media gives: the files to add, in the order given, each as it is or
// its player copy; and, with LeftOut::Named, each file left out (by Cancel, or a copy that failed,
// with its reason) for the caller's one message about what was not added.
struct AddedMedia {
    QStringList added;
    std::vector<std::string> notAdded;
};

// Whether the question tells of copies that failed itself, or names what was left out to the caller.
enum class LeftOut { Told, Named };

// Before files join a list: examines them off the window's thread (with `cache`, the one the marks
// use, so a file known there is not probed again) and, when one will not play or has a name the
// player does not take, says which and why, file by file, and offers "Add a player copy" (made in
// the player copies folder, chosen once, off the window's thread with progress and Cancel) or "Add
// anyway". `done` gets the answer on the window's thread; at once for no paths. While the files are
// examined, `parent`'s window takes no input but its close button: a second edit could conflict with
// this one. Once `parent` is gone or its window closed, nothing is delivered.
void AskAboutAddedMedia(QWidget* parent, AppContext& context, std::shared_ptr<MediaProbeCache> cache,
                        const QStringList& paths, LeftOut leftOut, std::function<void(AddedMedia)> done);

} // namespace velmo
