#include "tests/support/test_movies.h"

#include <gst/gst.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <map>

namespace testmovies {

namespace {

QTemporaryDir& MovieDir() {
  static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/cinvo-movies-XXXXXX"));
  return dir;
}

// Runs a pipeline description to its end; false on error or after 60 s.
bool RunPipeline(const QString& description) {
  gst_init(nullptr, nullptr);
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
  if (error) {
    g_error_free(error);
    if (pipeline) gst_object_unref(pipeline);
    return false;
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND,
                                                   GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

bool RunFfmpeg(const QStringList& arguments) {
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return false;
  QProcess process;
  process.start(ffmpeg, QStringList{"-v", "error", "-y"} + arguments);
  return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

QString Video(const QString& mux, int seconds = kMovieSeconds) {
  return QStringLiteral(
             "videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,width=160,height=120,framerate=15/1 "
             "! jpegenc ! %2.")
      .arg(15 * seconds)
      .arg(mux);
}

QString Audio(const QString& mux, int frequency, int seconds = kMovieSeconds) {
  // 1470 samples at 22050 Hz: 15 buffers a second.
  return QStringLiteral(
             " audiotestsrc num-buffers=%1 samplesperbuffer=1470 freq=%2 ! audio/x-raw,format=S16LE,rate=22050,"
             "channels=1 ! %3.")
      .arg(15 * seconds)
      .arg(frequency)
      .arg(mux);
}

QString Mux(const QString& path) {
  return QStringLiteral("avimux name=m ! filesink location=\"%1\" ").arg(path);
}

bool CopyPart(const QString& from, const QString& to, qint64 bytes) {
  QFile in(from);
  QFile out(to);
  if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return out.write(in.read(bytes)) >= 0;
}

// The same movie with its video codec tag, in the headers, changed to one
// that no decoder knows.
bool Retagged(const QString& from, const QString& to) {
  QFile in(from);
  QFile out(to);
  if (from.isEmpty() || !in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  QByteArray data = in.readAll();
  const qsizetype movi = data.indexOf("movi");
  if (movi < 0) return false;
  QByteArray header = data.left(movi);
  if (!header.contains("MJPG")) return false;
  header.replace("MJPG", "QQQQ");
  return out.write(header + data.mid(movi)) == data.size();
}

QStringList FfmpegMovie(const QString& path, const QString& videoTag, bool withSound, bool mp3) {
  const QString seconds = QString::number(kMovieSeconds);
  QStringList args{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=" + seconds};
  if (withSound) args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=44100:duration=" + seconds;
  args << "-c:v" << "mpeg4" << "-vtag" << videoTag << "-q:v" << "5";
  if (withSound) {
    if (mp3)
      args << "-c:a" << "libmp3lame" << "-b:a" << "96k";
    else
      args << "-c:a" << "pcm_s16le";
  }
  args << path;
  return args;
}

// A plain dark picture with a tone, kHalfMinuteSeconds long: subtitles
// painted over it stand out. `codecs` and the output path end the list.
QStringList DarkMovie(const QString& path, const QStringList& codecs, const QString& size = QStringLiteral("320x240")) {
  const QString seconds = QString::number(kHalfMinuteSeconds);
  return QStringList{"-f", "lavfi", "-i", "color=c=0x101060:size=" + size + ":rate=10:duration=" + seconds,
                     "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=" + seconds} +
         codecs + QStringList{path};
}

// The file name ending of a kind.
QString Extension(TMovieKind kind) {
  switch (kind) {
    case TMovieKind::MatroskaMjpegPcm:
    case TMovieKind::SubtitledMkv:
      return QStringLiteral(".mkv");
    case TMovieKind::Mp4Mpeg4Aac:
    case TMovieKind::RotatedMp4:
      return QStringLiteral(".mp4");
    default:
      return QStringLiteral(".avi");
  }
}

bool Make(TMovieKind kind, const QString& path) {
  switch (kind) {
    case TMovieKind::MjpegPcm:
      return RunPipeline(Mux(path) + Video("m") + Audio("m", 440));
    case TMovieKind::TwoAudio:
      return RunPipeline(Mux(path) + Video("m") + Audio("m", 440) + Audio("m", 1760));
    case TMovieKind::VideoOnly:
      return RunPipeline(Mux(path) + Video("m"));
    case TMovieKind::TwoHours:
      // Long but cheap: one tiny frame a second.
      return RunPipeline(Mux(path) +
                         QStringLiteral("videotestsrc num-buffers=7200 pattern=black ! "
                                        "video/x-raw,width=16,height=16,framerate=1/1 ! jpegenc ! m."));
    case TMovieKind::AudioOnly:
      return RunPipeline(Mux(path) + Audio("m", 440));
    case TMovieKind::Mpeg4Mp3:
      return RunFfmpeg(FfmpegMovie(path, "XVID", true, true));
    case TMovieKind::UnknownVideoCodec:
      return Retagged(MovieFile(TMovieKind::MjpegPcm), path);
    case TMovieKind::UnknownCodecOnly:
      return Retagged(MovieFile(TMovieKind::VideoOnly), path);
    case TMovieKind::ZeroByte:
      return QFile(path).open(QIODevice::WriteOnly | QIODevice::Truncate);
    case TMovieKind::Truncated: {
      const QString whole = MovieFile(TMovieKind::MjpegPcm);
      return !whole.isEmpty() && CopyPart(whole, path, QFile(whole).size() * 6 / 10);
    }
    case TMovieKind::HeaderOnly: {
      const QString whole = MovieFile(TMovieKind::MjpegPcm);
      return !whole.isEmpty() && CopyPart(whole, path, 2048);
    }
    case TMovieKind::HalfMinuteMjpegPcm:
      return RunPipeline(Mux(path) + Video("m", kHalfMinuteSeconds) + Audio("m", 440, kHalfMinuteSeconds));
    case TMovieKind::LongVideoOnly:
      // A long movie made cheaply: a tiny picture once a second.
      return RunPipeline(Mux(path) + QStringLiteral(
                                         "videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,width=32,height=24,"
                                         "framerate=1/1 ! jpegenc ! m.")
                                         .arg(kLongMovieSeconds));
    case TMovieKind::TwoAudioLong: {
      const QString video =
          QStringLiteral("videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,width=64,height=48,framerate=5/1 "
                         "! jpegenc ! m.")
              .arg(5 * kTwoAudioLongSeconds);
      // 2205 samples at 22050 Hz: 10 buffers a second.
      auto audio = [](int frequency) {
        return QStringLiteral(
                   " audiotestsrc num-buffers=%1 samplesperbuffer=2205 freq=%2 ! audio/x-raw,format=S16LE,"
                   "rate=22050,channels=1 ! m.")
            .arg(10 * kTwoAudioLongSeconds)
            .arg(frequency);
      };
      return RunPipeline(Mux(path) + video + audio(440) + audio(1760));
    }
    case TMovieKind::TopDownRgb:
      // ffmpeg stores raw BGR with a negative height: rows from the top.
      return RunFfmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc=size=160x120:rate=15:duration=%1").arg(kMovieSeconds),
                        "-f", "lavfi", "-i",
                        QStringLiteral("sine=frequency=440:sample_rate=22050:duration=%1").arg(kMovieSeconds), "-c:v",
                        "rawvideo", "-pix_fmt", "bgr24", "-c:a", "pcm_s16le", path});
    case TMovieKind::H264Mp3:
      return RunFfmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc=size=320x240:rate=25:duration=%1").arg(kMovieSeconds),
                        "-f", "lavfi", "-i",
                        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(kMovieSeconds), "-c:v",
                        "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "libmp3lame", "-b:a", "96k",
                        path});
    case TMovieKind::MatroskaMjpegPcm:
      return RunPipeline(QStringLiteral("matroskamux name=m ! filesink location=\"%1\" ").arg(path) + Video("m") +
                         Audio("m", 440));
    case TMovieKind::Mp4Mpeg4Aac:
      return RunFfmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc=size=320x240:rate=25:duration=%1").arg(kMovieSeconds),
                        "-f", "lavfi", "-i",
                        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(kMovieSeconds), "-c:v",
                        "mpeg4", "-q:v", "5", "-c:a", "aac", "-b:a", "96k", path});
    case TMovieKind::DarkHalfMinute:
      return RunFfmpeg(DarkMovie(path, {"-c:v", "mjpeg", "-q:v", "5", "-c:a", "pcm_s16le"}));
    case TMovieKind::SubtitledMkv: {
      const QString subtitles = MovieDir().filePath(QStringLiteral("track.srt"));
      QFile file(subtitles);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
          file.write(QStringLiteral("1\n00:00:00,000 --> 00:10:00,000\n%1\n\n").arg(kSubtitleText).toUtf8()) <= 0)
        return false;
      file.close();
      QStringList args = DarkMovie(path, {}, QStringLiteral("480x200"));
      args.removeLast();  // the output comes after the subtitle input
      args << "-i" << subtitles << "-map" << "0:v" << "-map" << "1:a" << "-map" << "2:s"
           << "-c:v" << "mjpeg" << "-q:v" << "5" << "-c:a" << "pcm_s16le" << "-c:s" << "srt"
           << "-metadata:s:s:0" << "language=eng" << "-disposition:s:0" << "default" << path;
      return RunFfmpeg(args);
    }
    case TMovieKind::RotatedMp4: {
      // Stored turned left: the upright picture's top (red) lies at the
      // left. The tag is written when the stream is copied, not encoded;
      // the players' "rotate=270" is a quarter turn to the right.
      const QString stored = MovieDir().filePath(QStringLiteral("stored-turned.mp4"));
      return RunFfmpeg({"-f", "lavfi", "-i",
                        QStringLiteral("color=c=red:size=160x240:rate=10:duration=%1[a];"
                                       "color=c=blue:size=160x240:rate=10:duration=%1[b];[a][b]hstack")
                            .arg(kHalfMinuteSeconds),
                        "-c:v", "mpeg4", "-q:v", "3", stored}) &&
             RunFfmpeg({"-i", stored, "-c", "copy", "-metadata:s:v:0", "rotate=270", path});
    }
    case TMovieKind::FourLanguages: {
      const QString seconds = QString::number(kFourLanguagesSeconds);
      QStringList args{"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5:duration=" + seconds};
      for (int tone : kFourLanguagesTones)
        args << "-f" << "lavfi" << "-i"
             << QStringLiteral("sine=frequency=%1:sample_rate=22050:duration=%2").arg(tone).arg(seconds);
      for (int input = 0; input <= 4; ++input) args << "-map" << QString::number(input);
      args << "-c:v" << "mjpeg" << "-c:a" << "pcm_s16le"
           << "-metadata:s:a:0" << "language=eng" << "-metadata:s:a:1" << "language=fra"
           << "-metadata:s:a:2" << "language=ger" << "-metadata:s:a:3" << "title=Director & Crew"
           << "-f" << "matroska" << path;
      return RunFfmpeg(args);
    }
    case TMovieKind::TextFile: {
      QFile file(path);
      return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
             file.write("This is a shopping list, not a movie.\nBread\nMilk\n") > 0;
    }
  }
  return false;
}

}  // namespace

QString MovieFile(TMovieKind kind) {
  static std::map<TMovieKind, QString> made;
  auto it = made.find(kind);
  if (it != made.end()) return it->second;
  const QString path = MovieDir().filePath(QStringLiteral("movie%1").arg(static_cast<int>(kind)) + Extension(kind));
  const QString result = Make(kind, path) ? path : QString();
  made[kind] = result;
  return result;
}

}  // namespace testmovies
