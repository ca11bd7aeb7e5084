// PNG output through libpng (see PngWriter.h).
#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, int compression,
              std::string& error, bool bottomUp)
{
    if (!rgb || width <= 0 || height <= 0) {
        error = "no picture to write to " + path;
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot open " + path + " for writing: " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "libpng failed while writing " + path;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (compression >= 0) png_set_compression_level(png, compression);
    // At the quickest level one cheap row filter: trying them all costs more
    // time than it saves space.
    if (compression >= 0 && compression <= 1) png_set_filter(png, 0, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const int row = bottomUp ? height - 1 - y : y;
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(row) * width * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = "cannot finish writing " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
