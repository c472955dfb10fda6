// Writes the largest schedule as velmo.vlm into the directory given, for profiling the editor by
// hand: a startup_editor copied beside it loads it as it starts.
//
//   write_largest_schedule <directory>

#include "largest_schedule.h"

#include "model/file_system.h"
#include "model/random_source.h"
#include "model/schedule_file.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string directory = velmo::WithTrailingSeparator(argv[1]);
    velmo::SeededRandomSource random(2007);
    const velmo::Result written =
        velmo::WriteScheduleFile(directory, "velmo.vlm", velmo::bench::LargestSchedule(), random);
    if (!written) {
        std::fprintf(stderr, "%s\n", written.reason.c_str());
        return 1;
    }
    std::printf("%svelmo.vlm\n", directory.c_str());
    return 0;
}
