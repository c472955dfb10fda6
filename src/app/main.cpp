// The Velmo Schedule Generator editor.

#include "editor_app.h"
#include "ui/platform/off_thread.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // Over a file-size limit a save then fails with EFBIG and says "File Save Error!", instead of
    // the signal ending the editor with the user's edits.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    return velmo::EndAfterDetachedWork(velmo::RunEditor(app));
}
