#pragma once

// Writes the JPEG kinds ffmpeg cannot: progressive and CMYK, with libjpeg-turbo.

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace velmo::test {

inline bool WriteTestJpeg(const std::string& path, int width, int height, bool progressive, bool cmyk) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = cmyk ? 4 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width * info.input_components));
    for (int y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < row.size(); ++x)
            row[x] = static_cast<JSAMPLE>((x * 7 + static_cast<std::size_t>(y) * 3) & 0xFF);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

} // namespace velmo::test
