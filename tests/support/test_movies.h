#pragma once
// Test movies, made on first use in a directory private to the process and
// kept for its lifetime, so that a suite pays for each kind once. Nothing
// here is a committed binary: GStreamer makes the MJPEG/PCM files, ffmpeg the
// MPEG-4/MP3 ones.
#include <QString>

namespace testmovies {

enum class TMovieKind {
  MjpegPcm,           // 160x120 MJPEG at 15 fps, 440 Hz PCM mono, 2 s
  TwoAudio,           // as MjpegPcm with a second audio stream at 1760 Hz
  VideoOnly,          // MJPEG only
  AudioOnly,          // PCM only
  Mpeg4Mp3,           // 320x240 MPEG-4 part 2 (XVID) with MP3 sound, 2 s
  UnknownVideoCodec,  // video under a codec tag nothing decodes, PCM sound
  UnknownCodecOnly,   // only that undecodable video stream
  ZeroByte,           // an empty .avi
  Truncated,          // the first 60 % of MjpegPcm
  HeaderOnly,         // the first 2 KB of MjpegPcm
  TextFile,           // a text file named .avi
  TwoHours,           // 16x16 MJPEG at 1 fps, 7200 s, no sound
  LongVideoOnly,      // 32x24 MJPEG at 1 fps, no sound, 100 minutes
  TwoAudioLong,       // 64x48 MJPEG at 5 fps, 440 Hz and 1760 Hz PCM streams, 40 s
  HalfMinuteMjpegPcm, // as MjpegPcm, kHalfMinuteSeconds long
  TopDownRgb,         // uncompressed 24-bit RGB stored top-down, PCM sound
  H264Mp3,            // 320x240 H.264 (libx264) with MP3 sound, 2 s
  MatroskaMjpegPcm,   // as MjpegPcm in a Matroska file (.mkv)
  Mp4Mpeg4Aac,        // 320x240 MPEG-4 part 2 with AAC sound in an MP4 file (.mp4), 2 s
  DarkHalfMinute,     // 320x240 plain dark blue MJPEG, 440 Hz PCM, kHalfMinuteSeconds (.avi)
  SubtitledMkv,       // as DarkHalfMinute but 480x200 (wider than 16:9), in Matroska with one
                      // English text subtitle track, marked default, showing kSubtitleText for
                      // the whole movie (.mkv)
  RotatedMp4,         // 320x240 stored turned a quarter left (red at the left, blue at the right)
                      // with a tag to turn it a quarter right, so upright it is 240x320 with
                      // red on top; no sound, kHalfMinuteSeconds (.mp4)
  // 64x48 MJPEG at 5 fps with four PCM streams of kFourLanguagesTones,
  // tagged "eng", "fra", "ger" and (no language) the title "Director & Crew",
  // kFourLanguagesSeconds long, in a Matroska container named .avi
  FourLanguages,
};

// The text of the subtitle track of SubtitledMkv.
constexpr const char* kSubtitleText = "WWWW MMMM WWWW";

constexpr int kLongMovieSeconds = 6000;
constexpr int kTwoAudioLongSeconds = 40;

constexpr int kFourLanguagesSeconds = 40;
constexpr int kFourLanguagesTones[] = {300, 600, 900, 1200};

constexpr int kMovieSeconds = 2;
constexpr int kHalfMinuteSeconds = 30;

// The file of that kind (its name ends in .avi unless the kind says
// otherwise); empty when it cannot be made here (the tool is missing).
QString MovieFile(TMovieKind kind);

}  // namespace testmovies
