#pragma once
// Decoded pictures into the window's pixels: scaled and converted in one
// step on the thread that paints, with the vector units of the processor
// (a 4K picture becomes a 1920x1080 one of 32-bit pixels in under a
// millisecond, several times faster than the graph's own elements).
#include <gst/video/video.h>

#include <QSize>

#include <cstdint>
#include <vector>

// Whether pictures of this layout are converted here; the renderer asks the
// graph for one of these.
bool IsConvertibleFormat(GstVideoFormat format);
// The layouts above as a caps string's format list.
const char* ConvertibleFormats();

// Working memory reused from picture to picture.
struct TConversionScratch {
  std::vector<uint8_t> planes;
  std::vector<uint16_t> planes16;  // for pictures of more than 8 bits
};

// Scales `frame` to `size` and writes it as 32-bit pixels (blue, green, red,
// then 255; QImage::Format_RGB32 on this processor) at `dest`, `stride`
// bytes per line. False when the frame's layout is not convertible.
bool ConvertFrame(const GstVideoFrame& frame, const QSize& size, uint8_t* dest, int stride,
                  TConversionScratch& scratch);
