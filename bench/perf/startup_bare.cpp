// The least a Qt Widgets program does to show something: one empty window, of the editor's starting
// size so both paint the same area, ending at its first painted frame. The yardstick for the
// editor's start-up time and memory.

#include "frame_probe.h"

#include <QWidget>

int main(int argc, char** argv) {
    velmo::bench::FrameProbeApplication app(argc, argv);
    velmo::bench::ReportFirstFrameAndClose(app);
    QWidget window;
    window.resize(1040, 680);
    window.show();
    return app.exec();
}
