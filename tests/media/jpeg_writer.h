#pragma once

// Writes the JPEG kinds ffmpeg cannot: progressive and CMYK, with libjpeg-turbo.

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace velmo::test {

// orientation: an EXIF orientation (1..8) written in an APP1 segment; 0 writes none.
inline bool WriteTestJpeg(const std::string& path, int width, int height, bool progressive, bool cmyk,
                          int orientation = 0) {
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
    if (orientation > 0) {
        // "Exif", a big-endian TIFF header, one IFD entry: tag 0x0112, SHORT, count 1, the value.
        const unsigned char exif[] = {
            'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
            8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, static_cast<unsigned char>(orientation),
            0,   0,   0,   0,    0,    0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
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
