// The least a Qt Widgets program does to show something: one empty window, of the editor's starting
// size so both paint the same area, ending at its first painted frame. The yardstick for the
// editor's start-up time and memory. With the argument "text" the window shows one line of text,
// which is what starting the font system costs on its own.

#include "frame_probe.h"

#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    velmo::bench::FrameProbeApplication app(argc, argv);
    velmo::bench::ReportFirstFrameAndClose(app);
    QWidget window;
    window.resize(1040, 680);
    if (argc > 1 && std::strcmp(argv[1], "text") == 0)
        new QLabel(QStringLiteral("Velmo Schedule Generator"), &window);
    window.show();
    return app.exec();
}
