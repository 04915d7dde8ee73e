#include "viewer/frame_conversion.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>

namespace {

// The conversion the picture's colorimetry asks for; pictures that say
// nothing are taken as standard definition, as the graph's converter does.
const libyuv::YuvConstants* MatrixOf(const GstVideoInfo& info) {
  const bool full = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
  switch (info.colorimetry.matrix) {
    case GST_VIDEO_COLOR_MATRIX_BT709:
      return full ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
    case GST_VIDEO_COLOR_MATRIX_BT2020:
      return full ? &libyuv::kYuvV2020Constants : &libyuv::kYuv2020Constants;
    default:
      return full ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
  }
}

const uint8_t* Plane(const GstVideoFrame& frame, int i) {
  return static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, i));
}
const uint16_t* Plane16(const GstVideoFrame& frame, int i) {
  return static_cast<const uint16_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, i));
}
int Stride(const GstVideoFrame& frame, int i) { return GST_VIDEO_FRAME_PLANE_STRIDE(&frame, i); }

// A 4:2:0 picture in three planes of 8- or 16-bit samples: scaled by `scale`
// into `planes` unless it already has `size`, then handed to `convert`.
template <typename T, typename Scale, typename Convert>
bool ConvertThreePlanes(const T* y, int ys, const T* u, int us, const T* v, int vs, int width, int height,
                        const QSize& size, std::vector<T>& planes, Scale scale, Convert convert) {
  const int w = size.width(), h = size.height(), cw = (w + 1) / 2, ch = (h + 1) / 2;
  if (w != width || h != height) {
    planes.resize(size_t(w) * h + 2 * size_t(cw) * ch);
    T* sy = planes.data();
    T* su = sy + size_t(w) * h;
    T* sv = su + size_t(cw) * ch;
    if (scale(y, ys, u, us, v, vs, width, height, sy, w, su, cw, sv, cw, w, h, libyuv::kFilterBilinear) != 0)
      return false;
    y = sy, u = su, v = sv, ys = w, us = vs = cw;
  }
  return convert(y, ys, u, us, v, vs) == 0;
}

}  // namespace

bool IsConvertibleFormat(GstVideoFormat format) {
  switch (format) {
    case GST_VIDEO_FORMAT_I420:
    case GST_VIDEO_FORMAT_YV12:
    case GST_VIDEO_FORMAT_NV12:
    case GST_VIDEO_FORMAT_I420_10LE:
    case GST_VIDEO_FORMAT_BGRx:
      return true;
    default:
      return false;
  }
}

const char* ConvertibleFormats() { return "{ I420, YV12, NV12, I420_10LE, BGRx }"; }

bool ConvertFrame(const GstVideoFrame& frame, const QSize& size, uint8_t* dest, int stride,
                  TConversionScratch& scratch) {
  const GstVideoFormat format = GST_VIDEO_FRAME_FORMAT(&frame);
  const int width = GST_VIDEO_FRAME_WIDTH(&frame), height = GST_VIDEO_FRAME_HEIGHT(&frame);
  const int w = size.width(), h = size.height();
  if (!IsConvertibleFormat(format) || width <= 0 || height <= 0 || w <= 0 || h <= 0 || !dest) return false;
  const bool same = w == width && h == height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  switch (format) {
    case GST_VIDEO_FORMAT_I420:
    case GST_VIDEO_FORMAT_YV12: {
      // YV12 is I420 with the two colour planes the other way round.
      const int u = format == GST_VIDEO_FORMAT_I420 ? 1 : 2, v = 3 - u;
      return ConvertThreePlanes(Plane(frame, 0), Stride(frame, 0), Plane(frame, u), Stride(frame, u), Plane(frame, v),
                                Stride(frame, v), width, height, size, scratch.planes, &libyuv::I420Scale,
                                [&](const uint8_t* y, int ys, const uint8_t* pu, int us, const uint8_t* pv, int vs) {
                                  return libyuv::I420ToARGBMatrix(y, ys, pu, us, pv, vs, dest, stride,
                                                                  MatrixOf(frame.info), w, h);
                                });
    }
    case GST_VIDEO_FORMAT_NV12: {
      const uint8_t *y = Plane(frame, 0), *uv = Plane(frame, 1);
      int ys = Stride(frame, 0), uvs = Stride(frame, 1);
      if (!same) {
        scratch.planes.resize(size_t(w) * h + 2 * size_t(cw) * ch);
        uint8_t* sy = scratch.planes.data();
        uint8_t* suv = sy + size_t(w) * h;
        if (libyuv::NV12Scale(y, ys, uv, uvs, width, height, sy, w, suv, 2 * cw, w, h, libyuv::kFilterBilinear) !=
            0)
          return false;
        y = sy, uv = suv, ys = w, uvs = 2 * cw;
      }
      return libyuv::NV12ToARGBMatrix(y, ys, uv, uvs, dest, stride, MatrixOf(frame.info), w, h) == 0;
    }
    case GST_VIDEO_FORMAT_I420_10LE:
      // Most 4K movies: ten bits in 16-bit words, strides counted in words.
      return ConvertThreePlanes(Plane16(frame, 0), Stride(frame, 0) / 2, Plane16(frame, 1), Stride(frame, 1) / 2,
                                Plane16(frame, 2), Stride(frame, 2) / 2, width, height, size, scratch.planes16,
                                &libyuv::I420Scale_16,
                                [&](const uint16_t* y, int ys, const uint16_t* pu, int us, const uint16_t* pv, int vs) {
                                  return libyuv::I010ToARGBMatrix(y, ys, pu, us, pv, vs, dest, stride,
                                                                  MatrixOf(frame.info), w, h);
                                });
    case GST_VIDEO_FORMAT_BGRx:
      if (same) return libyuv::ARGBCopy(Plane(frame, 0), Stride(frame, 0), dest, stride, w, h) == 0;
      return libyuv::ARGBScale(Plane(frame, 0), Stride(frame, 0), width, height, dest, stride, w, h,
                               libyuv::kFilterBilinear) == 0;
    default:
      return false;
  }
}
