// Writes a progressive JPEG, which ffmpeg cannot, for the Windows run's real media:
//   make_test_jpeg OUT.JPG WIDTH HEIGHT
#include "jpeg_writer.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    return velmo::test::WriteTestJpeg(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), true, false) ? 0 : 1;
}
