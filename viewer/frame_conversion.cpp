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
      const uint8_t *y = Plane(frame, 0), *pu = Plane(frame, u), *pv = Plane(frame, v);
      int ys = Stride(frame, 0), us = Stride(frame, u), vs = Stride(frame, v);
      if (!same) {
        scratch.planes.resize(size_t(w) * h + 2 * size_t(cw) * ch);
        uint8_t* sy = scratch.planes.data();
        uint8_t* su = sy + size_t(w) * h;
        uint8_t* sv = su + size_t(cw) * ch;
        if (libyuv::I420Scale(y, ys, pu, us, pv, vs, width, height, sy, w, su, cw, sv, cw, w, h,
                              libyuv::kFilterBilinear) != 0)
          return false;
        y = sy, pu = su, pv = sv, ys = w, us = vs = cw;
      }
      return libyuv::I420ToARGBMatrix(y, ys, pu, us, pv, vs, dest, stride, MatrixOf(frame.info), w, h) == 0;
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
    case GST_VIDEO_FORMAT_I420_10LE: {
      // Most 4K movies: ten bits in 16-bit words, strides counted in words.
      const uint16_t *y = Plane16(frame, 0), *pu = Plane16(frame, 1), *pv = Plane16(frame, 2);
      int ys = Stride(frame, 0) / 2, us = Stride(frame, 1) / 2, vs = Stride(frame, 2) / 2;
      if (!same) {
        scratch.planes16.resize(size_t(w) * h + 2 * size_t(cw) * ch);
        uint16_t* sy = scratch.planes16.data();
        uint16_t* su = sy + size_t(w) * h;
        uint16_t* sv = su + size_t(cw) * ch;
        if (libyuv::I420Scale_16(y, ys, pu, us, pv, vs, width, height, sy, w, su, cw, sv, cw, w, h,
                                 libyuv::kFilterBilinear) != 0)
          return false;
        y = sy, pu = su, pv = sv, ys = w, us = vs = cw;
      }
      return libyuv::I010ToARGBMatrix(y, ys, pu, us, pv, vs, dest, stride, MatrixOf(frame.info), w, h) == 0;
    }
    case GST_VIDEO_FORMAT_BGRx:
      if (same) return libyuv::ARGBCopy(Plane(frame, 0), Stride(frame, 0), dest, stride, w, h) == 0;
      return libyuv::ARGBScale(Plane(frame, 0), Stride(frame, 0), width, height, dest, stride, w, h,
                               libyuv::kFilterBilinear) == 0;
    default:
      return false;
  }
}
