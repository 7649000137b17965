#include "Png_Writer.h"

#include <QImage>
#include <QSysInfo>

#include <png.h>

namespace
{
void Append(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), static_cast<int>(length));
}

void Flush(png_structp) {}

// libpng reports an error by a long jump out of the function that met it: no
// C++ object may live in the frame it jumps back to, so that frame is this one.
bool Write(const QImage& image, QByteArray* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // A 32-bit pixel of Qt's, 0xffRRGGBB, lies in memory as B, G, R and the unused byte on a little-endian
    // processor, and as that byte, R, G, B on a big-endian one.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
    {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    else
    {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

QByteArray Png_Writer::Encode(const QImage& image)
{
    if (image.isNull())
        return QByteArray();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QByteArray png;
    png.reserve(rgb.width() * rgb.height() / 8);
    if (!Write(rgb, &png))
        return QByteArray();
    return png;
}
