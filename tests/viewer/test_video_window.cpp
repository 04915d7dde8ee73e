// The video window on real movies: where the picture is painted (letter
// box, crop, stretch, zoom), the colour stage in the graph and its undo,
// colours on painted pixels, pictures that change size, and the window's
// lifetime against its graph.
#include <gst/video/colorbalance.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "tests/viewer/video_test_helpers.h"
#include "viewer/color_control.h"
#include "viewer/graph_renderers.h"
#include "viewer/overlay_mixer.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

using graphtest::ClassesOf;
using graphtest::WaitFor;
using namespace videotest;

namespace {

// A window bound to an active graph.
struct Rig {
  TFilterGraph graph;
  TDSVideoWindowEx2 window;
  explicit Rig(int width = 400, int height = 300) {
    window.setObjectName(QStringLiteral("DSVideoWindow"));
    window.resize(width, height);
    window.show();
    graph.SetActive(true);
    window.SetFilterGraph(&graph);
  }
  bool Render(const QString& file) {
    if (file.isEmpty()) return false;
    graph.RenderMediaFile(file);
    return WaitFor([&] { return !window.CurrentFrame().isNull(); }, 10000);
  }
  // Cues the picture again, so that the shown frame went through the colour stage.
  bool Recue() {
    const quint64 before = window.OwnRenderer()->FramesTaken();
    int64_t zero = 0;
    graph.MediaSeeking()->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    return WaitFor([&] { return window.OwnRenderer()->FramesTaken() > before; }, 10000);
  }
  QImage Shot() { return window.grab().toImage(); }
};

QRgb Center(const QImage& image) { return image.pixel(image.width() / 2, image.height() / 2); }

}  // namespace

TEST(VideoWindowGeometry, FitRuleAndRounding) {
  EXPECT_EQ(FitRect(QRect(0, 0, 400, 300), QRect(0, 0, 16, 9)), QRect(0, 37, 400, 225));
  // Relatively wider outer rectangle: pillar box; a tie fills both ways.
  EXPECT_EQ(FitRect(QRect(0, 0, 400, 300), QRect(0, 0, 1, 1)), QRect(50, 0, 300, 300));
  EXPECT_EQ(FitRect(QRect(10, 20, 400, 300), QRect(0, 0, 4, 3)), QRect(10, 20, 400, 300));
  // Nothing to fit, or nothing to fit into: no division by zero.
  EXPECT_TRUE(FitRect(QRect(0, 0, 400, 300), QRect(0, 0, 0, 9)).isEmpty());
  EXPECT_EQ(FitRect(QRect(0, 0, 0, 0), QRect(0, 0, 16, 9)).size(), QSize(0, 0));
  EXPECT_EQ(MulDiv(5, 3, 2), 8);    // 7.5 up
  EXPECT_EQ(MulDiv(-5, 3, 2), -8);  // halves away from zero
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(1 << 30, 8, 16), 1 << 29);  // 64-bit intermediate
}

TEST(VideoWindowGeometry, ZoomAndColourValuesOutOfRangeKeepTheOldValue) {
  TDSVideoWindowEx2 window;
  window.SetDigitalZoom(10);  // no renderer: only stored
  EXPECT_EQ(window.DigitalZoom(), 10);
  for (int bad : {100, -1}) {
    try {
      window.SetDigitalZoom(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), QStringLiteral("Value %1 out of range. Value must bee between 0 -> 99").arg(bad));
    }
    EXPECT_EQ(window.DigitalZoom(), 10);
  }

  TColorControl* colors = window.ColorControl();
  EXPECT_EQ(colors->Brightness(), 750);  // construction defaults
  EXPECT_EQ(colors->ColorControlRecord().dwFlags, 127u);
  EXPECT_EQ(colors->ColorControlRecord().lBrightness, 750);
  colors->SetBrightness(10000);
  struct Case {
    std::function<void(int)> set;
    std::function<int()> get;
    int bad;
    const char* range;
  };
  const std::vector<Case> cases{
      {[&](int v) { colors->SetBrightness(v); }, [&] { return colors->Brightness(); }, 10001, "0 -> 10.000"},
      {[&](int v) { colors->SetContrast(v); }, [&] { return colors->Contrast(); }, -1, "0 -> 20.000"},
      {[&](int v) { colors->SetHue(v); }, [&] { return colors->Hue(); }, 181, "-180 -> 180"},
      {[&](int v) { colors->SetHue(v); }, [&] { return colors->Hue(); }, -181, "-180 -> 180"},
      {[&](int v) { colors->SetSaturation(v); }, [&] { return colors->Saturation(); }, 20001, "0 -> 20.000"},
      {[&](int v) { colors->SetSharpness(v); }, [&] { return colors->Sharpness(); }, 11, "0 -> 10"},
      {[&](int v) { colors->SetGamma(v); }, [&] { return colors->Gamma(); }, 0, "1 -> 500"},
  };
  for (const Case& c : cases) {
    const int before = c.get();
    try {
      c.set(c.bad);
      ADD_FAILURE() << "accepted " << c.bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(),
                QStringLiteral("Value %1 out of range. Value must bee between %2").arg(c.bad).arg(c.range));
    }
    EXPECT_EQ(c.get(), before);
  }
  colors->SetHue(-180);
  colors->SetHue(180);
  colors->SetGamma(500);
  EXPECT_EQ(colors->Hue(), 180);
  EXPECT_EQ(colors->Gamma(), 500);
  EXPECT_EQ(colors->Brightness(), 10000);  // not live: stored values
}

TEST(VideoWindowMovies, LetterBoxCropAndStretchOnPaintedPixels) {
  Rig rig(400, 300);
  ASSERT_TRUE(rig.Render(PlainMovie("white169", 320, 180, "pattern=white")));
  EXPECT_TRUE(rig.window.OverlayInUse());
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 37, 400, 225));
  QImage shot = rig.Shot();
  EXPECT_TRUE(IsBlack(shot.pixel(200, 36)));
  EXPECT_TRUE(IsWhite(shot.pixel(200, 37)));
  EXPECT_TRUE(IsWhite(shot.pixel(0, 150)));
  EXPECT_TRUE(IsWhite(shot.pixel(399, 261)));
  EXPECT_TRUE(IsBlack(shot.pixel(200, 262)));
  EXPECT_TRUE(IsBlack(shot.pixel(0, 0)));

  // Color fills around the picture.
  rig.window.SetColor(Qt::blue);
  shot = rig.Shot();
  EXPECT_EQ(shot.pixel(200, 10), qRgb(0, 0, 255));

  rig.window.SetAspectRatio(rmStretched);
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 0, 400, 300));
  shot = rig.Shot();
  EXPECT_TRUE(IsWhite(shot.pixel(200, 0)));
  EXPECT_TRUE(IsWhite(shot.pixel(200, 299)));

  // Crop into a tall window: the picture covers it, its sides are cut away.
  rig.window.SetAspectRatio(rmCrop);
  rig.window.resize(200, 300);
  EXPECT_EQ(rig.window.PictureRect(), QRect(-166, 0, 533, 300));
  shot = rig.Shot();
  EXPECT_TRUE(IsWhite(shot.pixel(0, 0)));
  EXPECT_TRUE(IsWhite(shot.pixel(199, 299)));

  // A pillar box when the window is relatively wider.
  rig.window.SetAspectRatio(rmLetterBox);
  rig.window.resize(400, 100);
  EXPECT_EQ(rig.window.OverlayRect(), QRect(111, 0, 178, 100));
  shot = rig.Shot();
  EXPECT_EQ(shot.pixel(110, 50), qRgb(0, 0, 255));
  EXPECT_TRUE(IsWhite(shot.pixel(112, 50)));
  EXPECT_EQ(shot.pixel(290, 50), qRgb(0, 0, 255));

  // Resized to nothing: nothing painted, nothing divided by zero.
  rig.window.resize(0, 0);
  EXPECT_TRUE(rig.window.PictureRect().isEmpty());
  EXPECT_TRUE(rig.Shot().isNull());
  rig.window.SetDigitalZoom(50);
  rig.window.resize(400, 300);
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 37, 400, 225));
}

TEST(VideoWindowMovies, DigitalZoomCutsTheSourceRectangle) {
  Rig rig(320, 240);
  ASSERT_TRUE(rig.Render(PlainMovie("bars43", 640, 480, "pattern=smpte", 5)));
  TVideoRenderer* renderer = rig.window.GraphRenderer();
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(renderer, rig.window.OwnRenderer());
  long l = 0, t = 0, w = 0, h = 0;
  rig.window.SetDigitalZoom(10);
  renderer->GetSourcePosition(&l, &t, &w, &h);
  EXPECT_EQ(QRect(l, t, w, h), QRect(32, 24, 576, 432));
  // Painted: the zoomed source fills the same place, so its corner pixel is
  // what lies at (32, 24) of the picture, not the picture's own corner.
  rig.window.SetDigitalZoom(99);
  renderer->get_SourceWidth(&w);
  EXPECT_EQ(w, 6);  // 640 - 633.6, truncated
  rig.window.SetDigitalZoom(0);
  renderer->GetSourcePosition(&l, &t, &w, &h);
  EXPECT_EQ(QRect(l, t, w, h), QRect(0, 0, 640, 480));
  EXPECT_EQ(renderer->IsUsingDefaultSource(), S_OK);

  // Source rectangles outside the picture are refused and change nothing.
  EXPECT_EQ(renderer->put_SourceLeft(1), E_INVALIDARG);
  EXPECT_EQ(renderer->SetSourcePosition(0, 60, 640, 360), S_OK);
  EXPECT_EQ(renderer->put_SourceHeight(0), E_INVALIDARG);
  renderer->GetSourcePosition(&l, &t, &w, &h);
  EXPECT_EQ(QRect(l, t, w, h), QRect(0, 60, 640, 360));
  // The clock-changed event applies the zoom again (the full picture).
  rig.window.HandleGraphEvent(EC_CLOCK_CHANGED, 0, 0);
  renderer->GetSourcePosition(&l, &t, &w, &h);
  EXPECT_EQ(QRect(l, t, w, h), QRect(0, 0, 640, 480));
}

TEST(VideoWindowMovies, ZoomShowsTheCentreOfThePictureOnPaintedPixels) {
  Rig rig(200, 200);
  rig.window.SetAspectRatio(rmStretched);
  // Colour bars: grey on the left, then yellow, then cyan.
  ASSERT_TRUE(rig.Render(PlainMovie("bars", 320, 320, "pattern=smpte", 5)));
  QRgb corner = rig.Shot().pixel(2, 2);
  EXPECT_LT(std::abs(qRed(corner) - qBlue(corner)), 20);
  // Zoom 60 shows the source from (96, 96): the corner is in the cyan bar.
  rig.window.SetDigitalZoom(60);
  corner = rig.Shot().pixel(2, 2);
  EXPECT_GT(qBlue(corner) - qRed(corner), 100);
  rig.window.SetDigitalZoom(0);
  corner = rig.Shot().pixel(2, 2);
  EXPECT_LT(std::abs(qRed(corner) - qBlue(corner)), 20);
}

TEST(VideoWindowMovies, ColourStageJoinsTheGraphAndColoursReachThePixels) {
  Rig rig(160, 120);
  TColorControl* colors = rig.window.ColorControl();
  colors->SetBrightness(5000);  // the forms' design value, stored while not live
  EXPECT_EQ(colors->Brightness(), 5000);
  ASSERT_TRUE(rig.Render(PlainMovie("grey", 160, 120, "pattern=solid-color foreground-color=0xff808080", 10)));
  EXPECT_TRUE(rig.window.OverlayInUse());
  ASSERT_NE(rig.window.Mixer(), nullptr);
  EXPECT_EQ(FilterName(rig.window.Mixer()), QStringLiteral("Overlay Mixer"));
  EXPECT_TRUE(ClassesOf(rig.graph.Graph()).contains(QLatin1String(CLSID_OverlayMixer)));
  // The remembered settings are the stage's own (unchanged picture).
  const TDDColorControl& record = colors->ColorControlRecord();
  EXPECT_EQ(record.lBrightness, 5000);
  EXPECT_EQ(record.lContrast, 10000);
  EXPECT_EQ(record.lSaturation, 10000);
  EXPECT_EQ(record.lColorEnable, 1);
  const auto& caps = rig.window.Caps();
  EXPECT_TRUE(caps.CanOverlayGraphic());
  EXPECT_TRUE(caps.CanControlBrigtness());
  EXPECT_TRUE(caps.CanControlContrast());
  EXPECT_TRUE(caps.CanControlHue());
  EXPECT_TRUE(caps.CanControlSaturation());
  EXPECT_TRUE(caps.CanControlColorEnabled());
  EXPECT_FALSE(caps.CanControlSharpness());
  EXPECT_FALSE(caps.CanControlGamma());

  ASSERT_TRUE(rig.Recue());
  const int normal = Gray(Center(rig.Shot()));
  colors->SetBrightness(8000);  // live: written at once
  EXPECT_EQ(colors->Brightness(), 8000);
  colors->SetSharpness(7);  // the stage has no sharpness: the value stays ours
  EXPECT_EQ(colors->Sharpness(), 7);
  ASSERT_TRUE(rig.Recue());
  const int brighter = Gray(Center(rig.Shot()));
  EXPECT_GT(brighter, normal + 40) << normal << " -> " << brighter;
  colors->SetBrightness(2000);
  ASSERT_TRUE(rig.Recue());
  EXPECT_LT(Gray(Center(rig.Shot())), normal - 40);

  // Leaving the graph gives the stage its own settings back, and those stay.
  rig.graph.SetActive(false);
  EXPECT_EQ(colors->Brightness(), 5000);
  EXPECT_EQ(colors->Sharpness(), 5);
  EXPECT_FALSE(caps.CanOverlayGraphic());
  EXPECT_EQ(rig.window.OwnRenderer(), nullptr);
}

namespace {
QSize CurrentSize(GstElement* element, const char* padName) {
  QSize size;
  GstPad* pad = gst_element_get_static_pad(element, padName);
  if (GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr) {
    GstVideoInfo info;
    if (gst_video_info_from_caps(&info, caps)) size = QSize(info.width, info.height);
    gst_caps_unref(caps);
  }
  if (pad) gst_object_unref(pad);
  return size;
}
}  // namespace

// The decoded frame is only read: the colour stage works on the picture
// already scaled to the window, and the picture's own size stays known.
TEST(VideoWindowMovies, ALargePictureIsScaledBeforeItsColoursChange) {
  Rig rig(160, 120);
  rig.window.ColorControl()->SetBrightness(8000);
  ASSERT_TRUE(rig.Render(PlainMovie("grey43", 640, 480, "pattern=solid-color foreground-color=0xff808080", 10)));
  ASSERT_TRUE(rig.Recue());
  ASSERT_TRUE(WaitFor([&] { return rig.window.CurrentFrame().size() == QSize(160, 120); }, 10000));
  GstElement* balance = gst_bin_get_by_interface(GST_BIN(rig.window.Mixer()), GST_TYPE_COLOR_BALANCE);
  ASSERT_NE(balance, nullptr);
  EXPECT_EQ(CurrentSize(balance, "sink"), QSize(160, 120));
  EXPECT_EQ(rig.window.OwnRenderer()->VideoSize(), QSize(640, 480));
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 0, 160, 120));
  EXPECT_GT(Gray(Center(rig.Shot())), 0x80 + 40);
  long w = 0, h = 0;
  rig.window.GraphRenderer()->GetVideoSize(&w, &h);
  EXPECT_EQ(QSize(w, h), QSize(640, 480));

  // Enlarged: the whole picture goes through the stage, and the renderer
  // enlarges it to the window.
  rig.window.resize(800, 600);
  ASSERT_TRUE(rig.Recue());
  ASSERT_TRUE(WaitFor([&] { return rig.window.CurrentFrame().size() == QSize(800, 600); }, 10000));
  EXPECT_EQ(CurrentSize(balance, "sink"), QSize(640, 480));
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 0, 800, 600));
  EXPECT_GT(Gray(Center(rig.Shot())), 0x80 + 40);

  // Unchanged colours: the stage passes the whole picture on, small window
  // or not; the renderer scales it while it paints.
  rig.window.resize(160, 120);
  rig.window.ColorControl()->SetBrightness(5000);
  ASSERT_TRUE(rig.Recue());
  ASSERT_TRUE(WaitFor([&] { return rig.window.CurrentFrame().size() == QSize(160, 120); }, 10000));
  EXPECT_EQ(CurrentSize(balance, "sink"), QSize(640, 480));
  EXPECT_NEAR(Gray(Center(rig.Shot())), 0x80, 6);
  // Colours changed again: the stage scales before it changes them.
  rig.window.ColorControl()->SetBrightness(8000);
  ASSERT_TRUE(rig.Recue());
  EXPECT_EQ(CurrentSize(balance, "sink"), QSize(160, 120));
  EXPECT_GT(Gray(Center(rig.Shot())), 0x80 + 40);
  gst_object_unref(balance);
}

// Decoders give layouts the turn stage does not take (4:2:2 here): the
// movie plays all the same, in its colours.
TEST(VideoWindowMovies, AFourTwoTwoMoviePlays) {
  gst_init(nullptr, nullptr);
  const QString path = testenv::NewTempDir(QStringLiteral("layouts")) + QStringLiteral("/red422.mkv");
  GstElement* maker = gst_parse_launch(
      QStringLiteral("videotestsrc num-buffers=10 pattern=red ! video/x-raw,format=Y42B,width=320,height=240,"
                     "framerate=10/1 ! avenc_ffv1 ! matroskamux ! filesink location=\"%1\"")
          .arg(path)
          .toUtf8()
          .constData(),
      nullptr);
  ASSERT_NE(maker, nullptr);
  gst_element_set_state(maker, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(maker);
  GstMessage* end = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  ASSERT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
  gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(maker, GST_STATE_NULL);
  gst_object_unref(maker);

  Rig rig(160, 120);
  ASSERT_TRUE(rig.Render(path));
  ASSERT_TRUE(rig.Recue());
  const QRgb c = Center(rig.Shot());
  EXPECT_GT(qRed(c) - qGreen(c), 100) << std::hex << c;
}

TEST(VideoWindowMovies, ColourOffGivesGrey) {
  Rig rig(160, 120);
  rig.window.ColorControl()->SetBrightness(5000);
  ASSERT_TRUE(rig.Render(PlainMovie("red", 160, 120, "pattern=red", 10)));
  ASSERT_TRUE(rig.Recue());
  QRgb c = Center(rig.Shot());
  EXPECT_GT(qRed(c) - qGreen(c), 100);
  rig.window.ColorControl()->SetSaturation(15000);
  rig.window.ColorControl()->SetColorEnable(false);
  EXPECT_FALSE(rig.window.ColorControl()->ColorEnable());
  EXPECT_EQ(rig.window.ColorControl()->Saturation(), 15000);  // kept for when colour comes back
  ASSERT_TRUE(rig.Recue());
  c = Center(rig.Shot());
  EXPECT_LT(std::abs(qRed(c) - qGreen(c)), 12);
  EXPECT_LT(std::abs(qBlue(c) - qGreen(c)), 12);
}

namespace {
// A colour stage without an output pin: the insertion fails after it has
// already re-wired the decoded video into the stage.
class TBrokenStageWindow : public TDSVideoWindowEx2 {
 protected:
  GstElement* CreateOverlayMixer() override {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* identity = gst_element_factory_make("identity", nullptr);
    gst_bin_add(GST_BIN(bin), identity);
    GstPad* target = gst_element_get_static_pad(identity, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("Input", target));
    gst_object_unref(target);
    return bin;
  }
};
}  // namespace

TEST(VideoWindowMovies, AFailedInsertionPutsTheGraphBackAndPlaybackGoesOn) {
  TFilterGraph graph;
  TBrokenStageWindow window;
  window.setObjectName(QStringLiteral("DSVideoWindow"));
  graph.SetActive(true);
  window.SetFilterGraph(&graph);
  graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm));
  EXPECT_TRUE(window.OverlayTried());
  EXPECT_FALSE(window.OverlayInUse());
  EXPECT_EQ(window.Mixer(), nullptr);
  EXPECT_FALSE(window.Caps().CanOverlayGraphic());
  GstElement* stage = gst_bin_get_by_name(GST_BIN(graph.Graph()), "Overlay Mixer");
  EXPECT_EQ(stage, nullptr);
  if (stage) gst_object_unref(stage);
  // The renderer is fed as before again: by the stage that turns pictures
  // upright, behind the decoder.
  GstPad* input = gst_element_get_static_pad(window.OwnRenderer()->Filter(), "sink");
  GstPad* peer = gst_pad_get_peer(input);
  ASSERT_NE(peer, nullptr);
  GstElement* feeder = gst_pad_get_parent_element(peer);
  EXPECT_EQ(FilterClassID(feeder), QLatin1String("videoflip"));
  gst_object_unref(feeder);
  gst_object_unref(peer);
  gst_object_unref(input);
  ASSERT_TRUE(graph.Play());
  const quint64 before = window.OwnRenderer()->FramesTaken();
  EXPECT_TRUE(WaitFor([&] { return window.OwnRenderer()->FramesTaken() >= before + 5; }, 10000));
  // A later play does not try again.
  window.HandleControlEvent(ControlPlay, 0);
  EXPECT_FALSE(window.OverlayInUse());
  graph.Stop();
}

TEST(VideoWindowMovies, AMovieRenderedBeforeTheWindowJoinedIsRoutedToIt) {
  TFilterGraph graph;
  graph.SetActive(true);
  graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::VideoOnly));
  ASSERT_TRUE(ClassesOf(graph.Graph()).contains(QLatin1String(CLSID_NullRenderer)));
  TDSVideoWindowEx2 window;
  window.setObjectName(QStringLiteral("DSVideoWindow"));
  bool shown = false;
  window.SetOnOverlayVisible([&](QObject* sender, bool visible) {
    EXPECT_EQ(sender, &window);
    shown = visible;
  });
  window.SetFilterGraph(&graph);
  ASSERT_TRUE(graph.Play());
  EXPECT_TRUE(window.OverlayInUse());
  EXPECT_TRUE(shown);
  EXPECT_TRUE(WaitFor([&] { return window.OwnRenderer()->FramesTaken() >= 5; }, 10000));
  // The renderer it replaced leaves once the window has its frames.
  EXPECT_FALSE(ClassesOf(graph.Graph()).contains(QLatin1String(CLSID_NullRenderer)));
  graph.Stop();
  EXPECT_FALSE(shown);
  EXPECT_FALSE(window.OverlayVisible());
}

TEST(VideoWindowMovies, AMovieWithoutVideoLeavesTheWindowEmpty) {
  Rig rig(200, 150);
  rig.graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::AudioOnly));
  EXPECT_FALSE(rig.window.OverlayInUse());
  EXPECT_EQ(rig.window.UpdateOverlayRect(), E_FAIL);
  rig.window.SetDigitalZoom(20);
  rig.window.SetAspectRatio(rmCrop);
  ASSERT_TRUE(rig.graph.Play());
  rig.window.HandleGraphEvent(EC_CLOCK_CHANGED, 0, 0);
  const QImage shot = rig.Shot();
  EXPECT_TRUE(IsBlack(shot.pixel(100, 75)));
  rig.graph.Stop();
}

// ------------------------------------------------------------ renderer alone

namespace {
// The window's renderer in a pipeline of the test's own, fed by
// videotestsrc through a capsfilter whose caps the test changes.
struct DirectRig {
  TDSVideoWindowEx2 window;
  GstElement* pipeline = nullptr;
  GstElement* caps = nullptr;
  explicit DirectRig(const char* size) {
    window.resize(400, 300);
    window.show();
    window.FilterNotify(0, 0);
    window.FilterNotify(1, 0);
    pipeline = gst_pipeline_new(nullptr);
    GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(source, "pattern", 3 /* white */, nullptr);
    caps = gst_element_factory_make("capsfilter", nullptr);
    SetSize(size);
    GstElement* renderer = window.GetFilterObject();
    gst_bin_add_many(GST_BIN(pipeline), source, caps, renderer, nullptr);
    gst_element_link_many(source, caps, renderer, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
  }
  ~DirectRig() {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
  }
  void SetSize(const char* size) {
    GstCaps* c = gst_caps_from_string((std::string("video/x-raw,format=I420,framerate=30/1,") + size).c_str());
    g_object_set(caps, "caps", c, nullptr);
    gst_caps_unref(c);
  }
  // A frame of a picture of `size` (painted at whatever size) arrived.
  bool WaitFrameOf(QSize size) {
    return WaitFor([&] { return window.OwnRenderer()->FrameVideoSize() == size && window.OwnRenderer()->HasFrame(); },
                   10000);
  }
};
}  // namespace

TEST(VideoWindowRenderer, APictureThatChangesSizeIsPlacedAgain) {
  DirectRig rig("width=320,height=240");
  ASSERT_TRUE(rig.WaitFrameOf(QSize(320, 240)));
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 0, 400, 300));
  rig.SetSize("width=320,height=180");
  ASSERT_TRUE(rig.WaitFrameOf(QSize(320, 180)));
  EXPECT_EQ(rig.window.OverlayRect(), QRect(0, 37, 400, 225));
  const QImage shot = rig.window.grab().toImage();
  EXPECT_TRUE(IsBlack(shot.pixel(200, 20)));
  EXPECT_TRUE(IsWhite(shot.pixel(200, 150)));
}

TEST(VideoWindowRenderer, PicturesAreScaledToTheSizeTheyAreShownAt) {
  DirectRig rig("width=640,height=480");
  rig.window.resize(160, 120);
  ASSERT_TRUE(WaitFor([&] { return rig.window.CurrentFrame().size() == QSize(160, 120); }, 10000));
  EXPECT_EQ(rig.window.OwnRenderer()->ScaleLimit(), QSize(160, 120));
  EXPECT_EQ(rig.window.OwnRenderer()->VideoSize(), QSize(640, 480));
  // The source rectangle stays in the picture's own pixels.
  rig.window.SetAspectRatio(rmStretched);
  ASSERT_EQ(rig.window.OwnRenderer()->SetSourcePosition(320, 240, 320, 240), S_OK);
  EXPECT_TRUE(IsWhite(rig.window.grab().toImage().pixel(80, 60)));
  // Enlarged: the whole picture, enlarged to the window.
  rig.window.resize(800, 600);
  rig.window.OwnRenderer()->SetDefaultSourcePosition();
  rig.window.SetAspectRatio(rmLetterBox);
  ASSERT_TRUE(WaitFor([&] { return rig.window.CurrentFrame().size() == QSize(800, 600); }, 10000));
  EXPECT_EQ(rig.window.OwnRenderer()->ScaleLimit(), QSize(800, 600));
  EXPECT_TRUE(IsWhite(rig.window.grab().toImage().pixel(400, 300)));
  // A window of no size asks for no scaling and paints nothing.
  rig.window.resize(0, 0);
  const quint64 taken = rig.window.OwnRenderer()->FramesTaken();
  EXPECT_TRUE(WaitFor([&] { return rig.window.OwnRenderer()->FramesTaken() > taken + 3; }, 10000));
  EXPECT_TRUE(rig.window.PictureRect().isEmpty());
  // The painter keeps up: only the latest frame is handed over.
  EXPECT_LE(rig.window.OwnRenderer()->FramesTaken(), rig.window.OwnRenderer()->FramesDelivered());
}

// What reaches the screen is the frame, in its place: converted straight
// into the pixels of a window inside another one, off its corner, for each
// layout the renderer takes; the colour bars keep their colours.
TEST(VideoWindowRenderer, TheFrameReachesTheScreenInPlaceInEveryLayout) {
  gst_init(nullptr, nullptr);
  for (const char* format : {"I420", "YV12", "NV12", "I420_10LE", "BGRx"}) {
    SCOPED_TRACE(format);
    QWidget frame;
    frame.resize(420, 320);
    auto* window = new TDSVideoWindowEx2(&frame);
    window->setGeometry(37, 23, 320, 240);
    frame.show();
    window->FilterNotify(0, 0);
    window->FilterNotify(1, 0);
    const QString description =
        QStringLiteral("videotestsrc pattern=smpte ! video/x-raw,format=%1,width=320,height=240,framerate=30/1 ! "
                       "identity name=end")
            .arg(QLatin1String(format));
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    ASSERT_NE(pipeline, nullptr);
    GstElement* end = gst_bin_get_by_name(GST_BIN(pipeline), "end");
    GstElement* renderer = window->GetFilterObject();
    gst_bin_add(GST_BIN(pipeline), renderer);
    ASSERT_TRUE(gst_element_link(end, renderer));
    gst_object_unref(end);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    ASSERT_TRUE(WaitFor([&] { return window->CurrentFrame().size() == QSize(320, 240); }, 10000));
    const QImage expected = window->CurrentFrame();
    QImage shot;
    const bool same = WaitFor(
        [&] {
          // What the window system shows: the window's own pixels here.
          shot = frame.screen()->grabWindow(frame.winId(), 37, 23, 320, 240).toImage().convertToFormat(
              QImage::Format_RGB32);
          return shot == expected;
        },
        5000);
    EXPECT_TRUE(same);
    // The second bar is yellow, the last of the top row blue.
    const QRgb yellow = shot.pixel(320 * 3 / 14, 40), blue = shot.pixel(320 * 13 / 14, 40);
    EXPECT_TRUE(qRed(yellow) > 150 && qGreen(yellow) > 150 && qBlue(yellow) < 60) << std::hex << yellow;
    EXPECT_TRUE(qBlue(blue) > 150 && qRed(blue) < 60 && qGreen(blue) < 60) << std::hex << blue;
    // Reduced to a smaller window, the bars stay where and what they are.
    window->resize(160, 120);
    ASSERT_TRUE(WaitFor([&] { return window->CurrentFrame().size() == QSize(160, 120); }, 5000));
    const QImage small = window->CurrentFrame();
    const QRgb smallYellow = small.pixel(160 * 3 / 14, 20), smallBlue = small.pixel(160 * 13 / 14, 20);
    EXPECT_TRUE(qRed(smallYellow) > 150 && qGreen(smallYellow) > 150 && qBlue(smallYellow) < 60)
        << std::hex << smallYellow;
    EXPECT_TRUE(qBlue(smallBlue) > 150 && qRed(smallBlue) < 60 && qGreen(smallBlue) < 60) << std::hex << smallBlue;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
  }
}

// ------------------------------------------------------------ cursor, lifetime

namespace {
class TIdleWindow : public TDSVideoWindowEx2 {
 public:
  using TDSVideoWindowEx2::ApplicationIdle;
};
// Runs the event loop as the application does (it blocks when idle, which
// is when the idle check runs) until `done` holds or `ms` have passed.
bool RunUntil(const std::function<bool()>& done, int ms) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() > ms) loop.quit();
  });
  poll.start(10);
  loop.exec();
  return done();
}
void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton) {
  QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button,
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}
}  // namespace

TEST(VideoWindowCursor, HiddenAfterStillnessAndShownByAClick) {
  TIdleWindow window;
  window.FilterNotify(0, 0);
  window.FilterNotify(1, 0);
  std::vector<bool> reports;
  window.SetOnCursorShowHide([&](QObject*, bool visible) { reports.push_back(visible); });
  int clicks = 0;
  window.SetOnClick([&](QObject*) { ++clicks; });

  // AutoHideCursor 0: never hidden.
  Send(&window, QEvent::MouseMove, QPoint(10, 10));
  window.ApplicationIdle();
  EXPECT_NE(window.cursor().shape(), Qt::BlankCursor);

  window.SetAutoHideCursor(200);
  Send(&window, QEvent::MouseMove, QPoint(20, 20));
  QElapsedTimer still;
  still.start();
  window.ApplicationIdle();  // too early
  EXPECT_NE(window.cursor().shape(), Qt::BlankCursor);
  ASSERT_TRUE(RunUntil([&] { return window.cursor().shape() == Qt::BlankCursor; }, 5000));
  EXPECT_GE(still.elapsed(), 195);
  EXPECT_TRUE(window.CursorHidden());
  ASSERT_EQ(reports, std::vector<bool>{false});

  Send(&window, QEvent::MouseButtonPress, QPoint(20, 20), Qt::LeftButton);
  Send(&window, QEvent::MouseButtonRelease, QPoint(20, 20), Qt::LeftButton);
  EXPECT_NE(window.cursor().shape(), Qt::BlankCursor);
  EXPECT_EQ(reports, (std::vector<bool>{false, true}));
  EXPECT_EQ(clicks, 1);

  // Not joined to a graph's renderer: nothing is hidden.
  window.FilterNotify(2, 0);
  window.FilterNotify(3, 0);
  Send(&window, QEvent::MouseMove, QPoint(30, 30));
  EXPECT_FALSE(RunUntil([&] { return window.cursor().shape() == Qt::BlankCursor; }, 300));
  EXPECT_NE(window.cursor().shape(), Qt::BlankCursor);
}

TEST(VideoWindowLifetime, AGraphNeverCallsADestroyedWindow) {
  TFilterGraph graph;
  graph.SetActive(true);
  auto* window = new TDSVideoWindowEx2;
  window->SetFilterGraph(&graph);
  window->SetFilterGraph(&graph);  // the same graph: nothing happens
  EXPECT_EQ(graph.MemberFilters().size(), 1u);
  EXPECT_EQ(graph.Listeners().size(), 1u);
  delete window;
  EXPECT_TRUE(graph.MemberFilters().empty());
  EXPECT_TRUE(graph.Listeners().empty());
  graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::VideoOnly));
  graph.Play();
  graph.SetActive(false);

  // The graph goes first: the window forgets it and its filters.
  auto* first = new TFilterGraph;
  first->SetActive(true);
  TDSVideoWindowEx2 survivor;
  survivor.SetFilterGraph(first);
  ASSERT_NE(survivor.OwnRenderer(), nullptr);
  delete first;
  EXPECT_EQ(survivor.FilterGraph(), nullptr);
  EXPECT_EQ(survivor.OwnRenderer(), nullptr);
  survivor.SetDigitalZoom(5);
  survivor.HandleControlEvent(ControlPlay, 0);
  EXPECT_FALSE(survivor.OverlayInUse());
}

TEST(VideoWindowLifetime, AWindowDestroyedWhileFramesArriveLeavesThePlayingGraphWhole) {
  // Sound in time with the clock, so the movie is still playing when the
  // window goes.
  const QByteArray audioSink = qgetenv("CINVO_AUDIO_SINK");
  qputenv("CINVO_AUDIO_SINK", "fakesink sync=true");
  struct Restore {
    QByteArray value;
    ~Restore() { qputenv("CINVO_AUDIO_SINK", value); }
  } restore{audioSink};
  TFilterGraph graph;
  graph.SetActive(true);
  int completions = 0;
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) { ++completions; });
  auto* window = new TDSVideoWindowEx2;
  window->setObjectName(QStringLiteral("DSVideoWindow"));
  window->resize(160, 120);
  window->show();
  window->SetFilterGraph(&graph);
  ASSERT_EQ(graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return window->OwnRenderer()->FramesDelivered() >= 3; }, 10000));
  // Frames are posted to the window while it goes; its renderer, shut down
  // under a frame it was still rendering, must not stop the movie.
  delete window;
  EXPECT_TRUE(graph.MemberFilters().empty());
  ASSERT_TRUE(WaitFor([&] { return completions == 1; }, 15000));

  // A new window on the same graph shows the next movie.
  TDSVideoWindowEx2 next;
  next.setObjectName(QStringLiteral("DSVideoWindow"));
  next.resize(160, 120);
  next.show();
  next.SetFilterGraph(&graph);
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  EXPECT_TRUE(WaitFor([&] { return next.FramesPainted() >= 3; }, 10000));
  EXPECT_TRUE(next.OverlayInUse());
  graph.SetActive(false);
}

TEST(VideoWindowLifetime, AMovieFailingLateLeavesTheWindowReadyForTheNextMovies) {
  // Uncompressed RGB stored top-down fails late with this window, after its
  // input was linked; undoing it, the decoder took its output away and
  // left the window waiting as a renderer: emptying the graph took 5 s and
  // the next movie timed out.
  Rig rig;
  graphtest::TRecordingListener listener;
  rig.graph.AddListener(&listener);
  try {
    rig.graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::TopDownRgb));
  } catch (const EDirectShowException&) {
  }
  QElapsedTimer timer;
  timer.start();
  rig.graph.EmptyGraph();
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_TRUE(IsParked(rig.window.GetFilterObject()));

  ASSERT_EQ(rig.graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::AudioOnly)), S_OK);
  ASSERT_TRUE(rig.graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 1; }));
  rig.graph.EmptyGraph();
  const quint64 before = rig.window.OwnRenderer()->FramesTaken();
  ASSERT_EQ(rig.graph.RenderMediaFile(testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(rig.graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 2; }));
  EXPECT_GT(rig.window.OwnRenderer()->FramesTaken(), before + 10);
  rig.graph.RemoveListener(&listener);
}
