// PNG output through libpng (see PngWriter.h). The file is written under a
// hidden part name and renamed when whole; libpng's writes go through our
// own function, so that a failed write keeps the system's reason.
#include "PngWriter.h"

#include "PartFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct Sink {
    std::FILE* file;
    int error;  // errno of the first failed write, 0 while all went well
};

void WriteBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink->file) != length) {
        sink->error = errno ? errno : EIO;
        png_error(png, "write error");
    }
}

void Flush(png_structp png)
{
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    if (std::fflush(sink->file) != 0) {
        sink->error = errno ? errno : EIO;
        png_error(png, "write error");
    }
}

}  // namespace

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, int compression,
              std::string& error, bool bottomUp)
{
    if (!rgb || width <= 0 || height <= 0) {
        error = "no picture to write to " + path;
        return false;
    }
    std::FILE* file = nullptr;
    if (!part_file::Open(path, file, error)) return false;
    Sink sink{file, 0};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        part_file::Abandon(file, path);
        error = "libpng failed while writing " + path + (sink.error ? std::string(": ") + std::strerror(sink.error) : "");
        return false;
    }
    png_set_write_fn(png, &sink, WriteBytes, Flush);
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
    return part_file::Commit(file, path, error);
}
