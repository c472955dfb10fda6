#include "jpeg_header.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace velmo {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->escape, 1);
}

void quietly(j_common_ptr, int) {}

} // namespace

// No object with a destructor lives between setjmp and longjmp here.
bool ReadJpegHeader(const std::uint8_t* data, std::size_t size, JpegFacts& facts, std::string& reason,
                    std::size_t* scanStart) {
    if (size == 0) {
        reason = "empty";
        return false;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = quietly;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        reason = errors.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        reason = "no picture in the JPEG data";
        return false;
    }
    facts.progressive = info.progressive_mode != 0;
    facts.cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    facts.precision = info.data_precision;
    facts.width = static_cast<int>(info.image_width);
    facts.height = static_cast<int>(info.image_height);
    if (scanStart)
        *scanStart = static_cast<std::size_t>(info.src->next_input_byte - data);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace velmo
