// The editor exactly as it starts (the same run as its main()), ending at its first painted frame.
// Started by startup_bench from a directory that holds the schedule to load.

#include "frame_probe.h"

#include "app/editor_app.h"

#include "ui/document/schedule_list_view.h"

#include <cstdio>

namespace {

// Row counts of the three lists, so the benchmark can tell the schedule was really loaded.
void printRows() {
    std::string rows = "rows";
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (const char* name : {"NormalList", "AdvanceList", "DetailList"})
            if (const auto* list = window->findChild<velmo::ScheduleListView*>(QString::fromLatin1(name)))
                rows.append(" ").append(name).append(" ").append(std::to_string(list->count()));
    }
    std::printf("%s\n", rows.c_str());
}

} // namespace

int main(int argc, char** argv) {
    velmo::bench::FrameProbeApplication app(argc, argv);
    velmo::bench::ReportFirstFrameAndClose(app, printRows);
    return velmo::RunEditor(app);
}
