// The viewer window on real movies: resuming and storing where viewing
// stopped, "Go to" and the keys, the display sizes, the audio stream choice
// as heard by the sound output, and the screen given back on every close
// and at once after a movie that cannot be played.
#include <gtest/gtest.h>

#include <gst/audio/audio.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>

#include "app/pk_param.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "framework/qs_prompts.h"
#include "framework/qs_tools.h"
#include "platform/display_settings.h"
#include "platform/screen_saving.h"
#include "tests/support/display_modes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "tests/viewer/video_test_helpers.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_renderers.h"
#include "viewer/pk_fViewer.h"
#include "viewer/subtitle_overlay.h"
#include "viewer/subtitle_tracks.h"
#include "viewer/track_bar.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

using graphtest::WaitFor;
using testmovies::MovieFile;
using testmovies::TMovieKind;

namespace {

constexpr int64_t kSecond = 10000000;

double Seconds(TFrmViewer& viewer) {
  int64_t current = 0;
  viewer.FilterGraph->MediaSeeking()->GetCurrentPosition(&current);
  return double(current) / kSecond;
}

void SeekTo(TFrmViewer& viewer, int64_t time) {
  viewer.FilterGraph->MediaSeeking()->SetPositions(&time, AM_SEEKING_AbsolutePositioning, nullptr,
                                                   AM_SEEKING_NoPositioning);
}

// Counts the graph's clock-changed reports: the resume follows each one.
class ClockWatch : public IGraphListener {
 public:
  void HandleGraphEvent(long code, intptr_t, intptr_t) override { changes += code == EC_CLOCK_CHANGED; }
  void HandleControlEvent(int, int) override {}
  int changes = 0;
};

// Opens the movie and lets the run settle: the first clock change and the
// resume it brings have been handled.
void OpenAndSettle(TFrmViewer& viewer, const QString& file, const TMovieData* record) {
  ClockWatch watch;
  viewer.FilterGraph->AddListener(&watch);
  viewer.OpenMovie(file, record);
  EXPECT_TRUE(WaitFor([&] { return watch.changes > 0; }));
  viewer.FilterGraph->RemoveListener(&watch);
  testenv::DrainEvents();
}

// Listens to what reaches the sound output of each audio renderer of the
// graph, in the graph's enumeration order: samples and upward zero
// crossings of the first channel.
class ToneProbe {
 public:
  explicit ToneProbe(TFilterGraph* graph) {
    TFilterList filters(graph->Graph());
    for (int i = 0; i < filters.Count(); ++i) {
      if (!IsAudioRenderer(filters.Items(i))) continue;
      auto ear = std::make_unique<Ear>();
      GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(filters.Items(i)));
      GValue item = G_VALUE_INIT;
      if (gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
        auto* sink = GST_ELEMENT(g_value_get_object(&item));
        ear->pad = gst_element_get_static_pad(sink, "sink");
        ear->probe = gst_pad_add_probe(ear->pad, GST_PAD_PROBE_TYPE_BUFFER, &Ear::OnBuffer, ear.get(), nullptr);
        g_value_unset(&item);
      }
      gst_iterator_free(sinks);
      ears_.push_back(std::move(ear));
    }
  }
  ~ToneProbe() {
    for (auto& ear : ears_)
      if (ear->pad) {
        gst_pad_remove_probe(ear->pad, ear->probe);
        gst_object_unref(ear->pad);
      }
  }
  int Count() const { return int(ears_.size()); }
  double SecondsHeard(int i) const {
    std::lock_guard<std::mutex> lock(ears_[i]->mutex);
    return ears_[i]->rate ? double(ears_[i]->frames) / ears_[i]->rate : 0;
  }
  double Frequency(int i) const {
    std::lock_guard<std::mutex> lock(ears_[i]->mutex);
    return ears_[i]->frames ? ears_[i]->crossings * double(ears_[i]->rate) / ears_[i]->frames : 0;
  }

 private:
  struct Ear {
    GstPad* pad = nullptr;
    gulong probe = 0;
    mutable std::mutex mutex;
    qint64 frames = 0, crossings = 0;
    int rate = 0;
    double last = 0;

    static GstPadProbeReturn OnBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self) {
      auto* ear = static_cast<Ear*>(self);
      GstCaps* caps = gst_pad_get_current_caps(pad);
      GstAudioInfo format;
      const bool known = caps && gst_audio_info_from_caps(&format, caps);
      if (caps) gst_caps_unref(caps);
      if (!known) return GST_PAD_PROBE_OK;
      GstMapInfo map;
      GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
      if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
      const int channels = GST_AUDIO_INFO_CHANNELS(&format);
      const int stride = GST_AUDIO_INFO_BPF(&format);
      const qint64 frames = stride ? qint64(map.size) / stride : 0;
      std::lock_guard<std::mutex> lock(ear->mutex);
      ear->rate = GST_AUDIO_INFO_RATE(&format);
      for (qint64 f = 0; f < frames; ++f) {
        double v = 0;
        if (GST_AUDIO_INFO_FORMAT(&format) == GST_AUDIO_FORMAT_S16)
          v = reinterpret_cast<const gint16*>(map.data)[f * channels];
        else if (GST_AUDIO_INFO_FORMAT(&format) == GST_AUDIO_FORMAT_F32)
          v = reinterpret_cast<const float*>(map.data)[f * channels];
        if (ear->last < 0 && v >= 0) ++ear->crossings;
        ear->last = v;
      }
      ear->frames += frames;
      gst_buffer_unmap(buffer, &map);
      return GST_PAD_PROBE_OK;
    }
  };
  std::vector<std::unique_ptr<Ear>> ears_;
};

class ViewerTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    InitializeLauncherStrings();
    Parameters().Load();
    // The sound output keeps time, so positions follow the clock.
    qputenv("CINVO_AUDIO_SINK", "fakesink sync=true");
  }
  void TearDown() override {
    SetInputQuery({});
    ReleaseParameters();
    FrameworkTest::TearDown();
  }
  // Records every call of the library window's position handler.
  void Watch(TFrmViewer& viewer) {
    viewer.SetOnUpdateMoviePosition([this](TMovieData& movie) {
      handed.push_back({movie.FileName, movie.ViewPosition});
    });
  }
  std::vector<std::pair<QString, int64_t>> handed;
};

}  // namespace

TEST_F(ViewerTest, ResumesBeforeTheStoredPointAndStoresTheSecondReachedOnClose) {
  const QString file = MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(file.isEmpty());
  // The record may name another file than the one played (a CD movie's copy).
  TMovieData record(QStringLiteral("/cd/Long Movie.avi"), false);
  record.ViewPosition = 600;
  TFrmViewer viewer;
  EXPECT_EQ(FrmViewer, &viewer);
  Watch(viewer);

  OpenAndSettle(viewer, file, &record);
  EXPECT_TRUE(viewer.isVisible());
  EXPECT_EQ(viewer.windowTitle(), QFileInfo(file).completeBaseName());
  EXPECT_EQ(viewer._lbDuration->Caption(), QStringLiteral("1:40:00"));
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PLAY"));
  EXPECT_FALSE(viewer.ToolbarVisible());
  // 600 s resumes at 9:45.
  EXPECT_TRUE(WaitFor([&] { return Seconds(viewer) >= 585; }));
  EXPECT_LT(Seconds(viewer), 590);

  // Paused at 1:02:03.9: the close stores 3723, truncated.
  viewer._sbPause->Click();
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PAUSE"));
  SeekTo(viewer, 37239000000);
  EXPECT_NEAR(Seconds(viewer), 3723.9, 0.01);
  viewer._sbClose->Click();
  EXPECT_FALSE(viewer.isVisible());
  EXPECT_FALSE(viewer.FilterGraph->Active());
  EXPECT_EQ(viewer.CurrentMovie().ViewPosition, 3723);
  // The pause handed over the point reached then, the close the last one.
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[0].first, record.FileName);
  EXPECT_GE(handed[0].second, 585);
  EXPECT_LT(handed[0].second, 590);
  EXPECT_EQ(handed[1].first, record.FileName);
  EXPECT_EQ(handed[1].second, 3723);
  EXPECT_EQ(Contexte->ReadInteger(QStringLiteral("ViewMode"), -1), 2);
  // Closing a hidden viewer again does nothing.
  viewer.close();
  EXPECT_EQ(handed.size(), 2u);

  // The same window plays the next movie; a point in the last tenth means
  // the beginning. Escape closes.
  record.ViewPosition = 5900;
  OpenAndSettle(viewer, file, &record);
  EXPECT_TRUE(viewer.isVisible());
  EXPECT_TRUE(WaitFor([&] { return Seconds(viewer) > 0; }));
  EXPECT_LT(Seconds(viewer), 10);
  QApplication::setActiveWindow(&viewer);
  QTest::keyClick(&viewer, Qt::Key_Escape);
  EXPECT_FALSE(viewer.isVisible());
  ASSERT_EQ(handed.size(), 3u);
  EXPECT_LT(handed[2].second, 10);
}

TEST_F(ViewerTest, AMovieSeenToItsEndStartsAgainWhateverItsLength) {
  const QString shortMovie = MovieFile(TMovieKind::TwoAudioLong);  // 40 s
  const QString longMovie = MovieFile(TMovieKind::LongVideoOnly);  // 6000 s
  ASSERT_FALSE(shortMovie.isEmpty());
  ASSERT_FALSE(longMovie.isEmpty());
  TFrmViewer viewer;
  struct Case {
    QString file;
    int64_t stored;
    double resumesAt;  // 0: from the beginning
  };
  // The last 15 s of a short movie and the last tenth of a long one mean
  // seen to the end; a point before that resumes 15 s earlier.
  const Case cases[] = {
      {shortMovie, 40, 0}, {shortMovie, 39, 0}, {shortMovie, 25, 0},      {shortMovie, 24, 9},
      {longMovie, 5400, 0}, {longMovie, 5399, 5384}, {longMovie, 7000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QStringLiteral("%1 s stored of %2").arg(c.stored).arg(QFileInfo(c.file).fileName()).toStdString());
    TMovieData record(c.file, true);
    record.ViewPosition = c.stored;
    OpenAndSettle(viewer, c.file, &record);
    EXPECT_TRUE(WaitFor([&] { return Seconds(viewer) >= c.resumesAt + 0.2; }));
    EXPECT_LT(Seconds(viewer), c.resumesAt + 3);
    viewer.close();
  }
}

TEST_F(ViewerTest, GoToReadsItsAnswerAndTheKeysMoveAndPause) {
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("12")), 720);
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("1:30")), 90);
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("0:90")), 90);
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("1:2:3")), 60);
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("1:xx")), 60);
  EXPECT_EQ(TFrmViewer::GoToSeconds(QStringLiteral("abc")), 0);

  const QString file = MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(file.isEmpty());
  TFrmViewer viewer;
  Watch(viewer);
  OpenAndSettle(viewer, file, nullptr);
  viewer.cmPause->trigger();

  QString answer;
  bool confirm = true;
  QStringList asked;
  SetInputQuery([&](const QString& caption, const QString& prompt, QString& value) {
    asked << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value;
    value = answer;
    return confirm;
  });
  auto goTo = [&](const QString& text) {
    answer = text;
    viewer.cmGoTo->trigger();
    return Seconds(viewer);
  };
  EXPECT_NEAR(goTo(QStringLiteral("12")), 720, 0.5);
  EXPECT_EQ(asked.value(0), QStringLiteral("Go to position|mm:ss|"));
  // Paused, a move of the track bar's thumb refreshes the position label
  // with the graph's position.
  viewer.DSTrackBar->setValue(viewer.DSTrackBar->value() + 1);
  EXPECT_TRUE(WaitFor([&] { return viewer._lbPosition->Caption() == QStringLiteral("12:00"); }));
  EXPECT_NEAR(goTo(QStringLiteral("1:30")), 90, 0.5);
  EXPECT_NEAR(goTo(QStringLiteral("5")), 300, 0.5);
  // Nothing happens for an empty answer, a cancel, or a point in the last
  // hundredth (5940 s on) or past the end.
  EXPECT_NEAR(goTo(QString()), 300, 0.5);
  confirm = false;
  EXPECT_NEAR(goTo(QStringLiteral("12")), 300, 0.5);
  confirm = true;
  EXPECT_NEAR(goTo(QStringLiteral("99:30")), 300, 0.5);
  EXPECT_NEAR(goTo(QStringLiteral("200")), 300, 0.5);
  EXPECT_NEAR(goTo(QStringLiteral("0:90")), 90, 0.5);
  EXPECT_NEAR(goTo(QStringLiteral("1:2:3")), 60, 0.5);
  EXPECT_NEAR(goTo(QStringLiteral("abc")), 0, 0.5);
  // The position label's double-click asks too.
  answer = QStringLiteral("2");
  QTest::mouseDClick(viewer._lbPosition, Qt::LeftButton);
  EXPECT_NEAR(Seconds(viewer), 120, 0.5);

  // Keys: Right and Left move 10 s, Space plays and pauses, Enter toggles
  // the toolbar (and with it the cursor's hiding).
  QApplication::setActiveWindow(&viewer);
  QTest::keyClick(&viewer, Qt::Key_Right);
  EXPECT_NEAR(Seconds(viewer), 130, 0.5);
  QTest::keyClick(&viewer, Qt::Key_Left);
  QTest::keyClick(&viewer, Qt::Key_Left);
  EXPECT_NEAR(Seconds(viewer), 110, 0.5);
  EXPECT_TRUE(WaitFor([&] { return viewer._lbPosition->Caption() == QStringLiteral("1:50"); }));
  QTest::keyClick(&viewer, Qt::Key_Space);
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PLAY"));
  EXPECT_TRUE(WaitFor([&] { return viewer.FilterGraph->GraphState() == 3; }));
  QTest::keyClick(&viewer, Qt::Key_Space);
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PAUSE"));
  QTest::keyClick(&viewer, Qt::Key_Return);
  EXPECT_TRUE(viewer.ToolbarVisible());
  EXPECT_TRUE(viewer.cmToolbar->isChecked());
  EXPECT_EQ(viewer.DSVideoWindow->AutoHideCursor(), 0);
  viewer._sbFullScreen->Click();
  EXPECT_FALSE(viewer.ToolbarVisible());
  EXPECT_FALSE(viewer.cmToolbar->isChecked());
  EXPECT_EQ(viewer.DSVideoWindow->AutoHideCursor(), 200);

  // The popup menu's Close: paused, the position is still stored.
  const double reached = Seconds(viewer);
  viewer.cmClose->trigger();
  EXPECT_FALSE(viewer.isVisible());
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_NEAR(double(handed[0].second), reached, 1.0);
}

TEST_F(ViewerTest, WhilePausedThePositionShownIsWhereThePictureIs) {
  const QString file = MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(file.isEmpty());
  TFrmViewer viewer;
  OpenAndSettle(viewer, file, nullptr);
  TDSTrackBar* bar = viewer.DSTrackBar;
  // One step a second once the bar has heard the duration.
  ASSERT_TRUE(WaitFor([&] { return bar->maximum() == 6000; }));
  viewer.cmPause->trigger();
  viewer.cmToolbar->trigger();
  ASSERT_TRUE(viewer.ToolbarVisible());

  SetInputQuery([](const QString&, const QString&, QString& value) {
    value = QStringLiteral("29");
    return true;
  });
  viewer.cmGoTo->trigger();
  EXPECT_NEAR(Seconds(viewer), 29 * 60, 0.5);
  EXPECT_TRUE(WaitFor([&] { return viewer._lbPosition->Caption() == QStringLiteral("29:00"); }));
  EXPECT_EQ(bar->value(), 29 * 60);

  // The thumb dragged to the middle (the window runs meanwhile) and let go.
  const QPoint grip(bar->width() / 2, bar->height() / 2);
  QTest::mousePress(bar, Qt::LeftButton, {}, grip);
  bar->setValue(3000);
  testenv::DrainEvents();
  QTest::mouseRelease(bar, Qt::LeftButton, {}, grip);
  EXPECT_NEAR(Seconds(viewer), 3000, 0.5);
  EXPECT_TRUE(WaitFor([&] { return viewer._lbPosition->Caption() == QStringLiteral("50:00"); }));
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PAUSE"));
  viewer.close();
}

TEST_F(ViewerTest, DisplaySizesPlaceThePictureAndCropWideMoviesToSixteenByNine) {
  const QString standard = videotest::PlainMovie(QStringLiteral("standard"), 640, 480, QStringLiteral("pattern=smpte"));
  const QString wide = videotest::PlainMovie(QStringLiteral("wide"), 640, 272, QStringLiteral("pattern=smpte"));
  ASSERT_FALSE(standard.isEmpty());
  ASSERT_FALSE(wide.isEmpty());
  auto viewer = std::make_unique<TFrmViewer>();
  EXPECT_EQ(viewer->ViewMode(), 2);  // nothing stored yet

  // A picture not wider than 16:9 is shown as Normal, with "16 / 9" checked.
  OpenAndSettle(*viewer, standard, nullptr);
  TVideoRenderer* renderer = viewer->DSVideoWindow->GraphRenderer();
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(viewer->PnDsVideo->geometry(), viewer->rect());
  EXPECT_EQ(viewer->DSVideoWindow->AspectRatio(), rmLetterBox);
  EXPECT_EQ(renderer->SourceRect(), QRect(0, 0, 640, 480));
  EXPECT_TRUE(viewer->cmDisplaySize_16_9->isChecked());
  EXPECT_FALSE(viewer->cmDisplaySizeNormal->isChecked());
  viewer->close();  // the window manager's close

  // 640 x 272 in a window 1024 x 768: the panel is the 16:9 band, the source
  // its centred 16:9 part, from the opening on.
  OpenAndSettle(*viewer, wide, nullptr);
  viewer->setWindowState(Qt::WindowNoState);
  viewer->setGeometry(0, 0, 1024, 768);
  ASSERT_TRUE(WaitFor([&] { return viewer->size() == QSize(1024, 768); }));
  renderer = viewer->DSVideoWindow->GraphRenderer();
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(renderer->SourceRect(), QRect(78, 0, 483, 272));
  viewer->cmPause->trigger();
  viewer->cmDisplaySize_16_9->trigger();
  EXPECT_EQ(viewer->PnDsVideo->geometry(), QRect(0, 96, 1024, 576));
  EXPECT_EQ(renderer->SourceRect(), QRect(78, 0, 483, 272));
  EXPECT_EQ(viewer->DSVideoWindow->AspectRatio(), rmCrop);
  EXPECT_EQ(viewer->_lbStatus->Caption(), QStringLiteral("PLAY"));  // a display size always plays

  viewer->PopupMenuPopup();
  EXPECT_EQ(viewer->_cmInfoFilename->text(), QStringLiteral("wide"));
  EXPECT_EQ(viewer->_cmInfoMovieSize->text(), QStringLiteral("Source 640 x 272"));
  const QRect overlay = viewer->DSVideoWindow->OverlayRect();
  EXPECT_EQ(viewer->_cmInfoSize->text(), QStringLiteral("Display %1 x %2 ").arg(overlay.width()).arg(overlay.height()));
  EXPECT_EQ(overlay.width(), 1024);
  // The 16:9 part covers the band in its own proportions, not stretched.
  const QRect picture = viewer->DSVideoWindow->PictureRect();
  EXPECT_EQ(picture.width(), 1024);
  EXPECT_NEAR(picture.height(), 576, 1);

  viewer->cmDisplaySizeNormal->trigger();
  EXPECT_EQ(viewer->PnDsVideo->geometry(), QRect(0, 0, 1024, 768));
  EXPECT_EQ(renderer->SourceRect(), QRect(0, 0, 640, 272));
  EXPECT_EQ(viewer->DSVideoWindow->AspectRatio(), rmLetterBox);
  EXPECT_EQ(viewer->ViewMode(), 0);
  viewer->cmDisplaySizeFullScreen->trigger();
  EXPECT_EQ(viewer->PnDsVideo->geometry(), QRect(0, 0, 1024, 768));
  EXPECT_EQ(viewer->DSVideoWindow->AspectRatio(), rmCrop);
  EXPECT_TRUE(viewer->cmDisplaySizeFullScreen->isChecked());

  // The size chosen last is the next run's.
  viewer->close();
  EXPECT_EQ(Contexte->ReadInteger(QStringLiteral("ViewMode"), -1), 1);
  viewer.reset();
  EXPECT_EQ(FrmViewer, nullptr);
  TFrmViewer next;
  EXPECT_EQ(next.ViewMode(), 1);
}

TEST_F(ViewerTest, TheSecondAudioStreamIsHeardFifteenSecondsBeforeThePointReached) {
  const QString file = MovieFile(TMovieKind::TwoAudioLong);
  ASSERT_FALSE(file.isEmpty());
  TFrmViewer viewer;
  Watch(viewer);
  EXPECT_FALSE(viewer.cmAudio->isVisible());
  OpenAndSettle(viewer, file, nullptr);
  EXPECT_EQ(viewer.AudioRendererCount(), 2);
  EXPECT_TRUE(viewer.cmAudio->isVisible());
  EXPECT_TRUE(viewer._cmAudio1->isChecked());
  EXPECT_FALSE(viewer._cmAudio2->isChecked());
  {
    ToneProbe probe(viewer.FilterGraph);
    ASSERT_EQ(probe.Count(), 2);
    ASSERT_TRUE(WaitFor([&] { return probe.SecondsHeard(0) >= 0.5; }));
    EXPECT_NEAR(probe.Frequency(0), 440, 40);
    EXPECT_EQ(probe.SecondsHeard(1), 0);
  }

  SeekTo(viewer, 30 * kSecond);
  ASSERT_TRUE(WaitFor([&] { return Seconds(viewer) >= 30.3; }));
  ClockWatch watch;
  viewer.FilterGraph->AddListener(&watch);
  viewer._cmAudio2->trigger();
  const int64_t reached = viewer.CurrentMovie().ViewPosition;
  EXPECT_TRUE(reached == 30 || reached == 31) << reached;
  EXPECT_FALSE(viewer._cmAudio1->isChecked());
  EXPECT_TRUE(viewer._cmAudio2->isChecked());
  EXPECT_EQ(viewer._lbStatus->Caption(), QStringLiteral("PLAY"));
  ToneProbe probe(viewer.FilterGraph);
  ASSERT_EQ(probe.Count(), 2);
  ASSERT_TRUE(WaitFor([&] { return watch.changes > 0; }));
  viewer.FilterGraph->RemoveListener(&watch);
  EXPECT_TRUE(WaitFor([&] { return Seconds(viewer) >= reached - 15; }));
  EXPECT_LT(Seconds(viewer), reached - 15 + 3);
  ASSERT_TRUE(WaitFor([&] { return probe.SecondsHeard(1) >= 0.5; }));
  EXPECT_NEAR(probe.Frequency(1), 1760, 100);
  EXPECT_EQ(probe.SecondsHeard(0), 0);

  // The desktop session ends: the normal close stores the position.
  viewer.EndSession();
  EXPECT_FALSE(viewer.isVisible());
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_GE(handed[0].second, reached - 15);

  // A movie with one sound stream offers no choice.
  OpenAndSettle(viewer, MovieFile(TMovieKind::MjpegPcm), nullptr);
  EXPECT_EQ(viewer.AudioRendererCount(), 1);
  EXPECT_FALSE(viewer.cmAudio->isVisible());
  viewer.close();
}

TEST_F(ViewerTest, EverySoundStreamHasAnEntryNamedWithItsLanguageOrTitle) {
  const QString file = MovieFile(TMovieKind::FourLanguages);
  ASSERT_FALSE(file.isEmpty());
  TFrmViewer viewer;
  OpenAndSettle(viewer, file, nullptr);
  EXPECT_EQ(viewer.AudioRendererCount(), 4);
  EXPECT_TRUE(viewer.cmAudio->isVisible());
  // The visible entries, the checked one marked.
  auto shown = [&] {
    QStringList entries;
    for (QAction* entry : viewer.cmAudio->menu()->actions())
      if (entry->isVisible()) entries << entry->text() + (entry->isChecked() ? QStringLiteral(" *") : QString());
    return entries.join(QStringLiteral(" | ")).toStdString();
  };
  EXPECT_EQ(shown(), "Audio 1 (eng) * | Audio 2 (fra) | Audio 3 (deu) | Audio 4 (Director && Crew)");
  {
    ToneProbe probe(viewer.FilterGraph);
    ASSERT_EQ(probe.Count(), 4);
    ASSERT_TRUE(WaitFor([&] { return probe.SecondsHeard(0) >= 0.5; }));
    EXPECT_NEAR(probe.Frequency(0), testmovies::kFourLanguagesTones[0], 30);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(probe.SecondsHeard(i), 0) << i;
  }

  // The third stream alone is heard after its entry is picked.
  SeekTo(viewer, 20 * kSecond);
  ASSERT_TRUE(WaitFor([&] { return Seconds(viewer) >= 20.3; }));
  ClockWatch watch;
  viewer.FilterGraph->AddListener(&watch);
  ASSERT_EQ(viewer.cmAudio->menu()->actions().size(), 4);
  viewer.cmAudio->menu()->actions()[2]->trigger();
  EXPECT_EQ(shown(), "Audio 1 (eng) | Audio 2 (fra) | Audio 3 (deu) * | Audio 4 (Director && Crew)");
  ToneProbe probe(viewer.FilterGraph);
  ASSERT_EQ(probe.Count(), 4);
  ASSERT_TRUE(WaitFor([&] { return watch.changes > 0; }));
  viewer.FilterGraph->RemoveListener(&watch);
  EXPECT_TRUE(WaitFor([&] { return Seconds(viewer) >= 5; }));
  ASSERT_TRUE(WaitFor([&] { return probe.SecondsHeard(2) >= 0.5; }));
  EXPECT_NEAR(probe.Frequency(2), testmovies::kFourLanguagesTones[2], 60);
  for (int i : {0, 1, 3}) EXPECT_EQ(probe.SecondsHeard(i), 0) << i;
  viewer.close();

  // Two streams without tags: the two entries as ever, the first checked.
  OpenAndSettle(viewer, MovieFile(TMovieKind::TwoAudio), nullptr);
  EXPECT_EQ(shown(), "Audio 1 * | Audio 2");
  viewer.close();
}

TEST_F(ViewerTest, AMovieGoneBeforeTheStreamSwitchKeepsThePositionReached) {
  // A disc taken out while watching: rebuilding for the other stream fails.
  const QString copy = testenv::NewTempDir(QStringLiteral("disc")) + QStringLiteral("/Two Streams.avi");
  ASSERT_TRUE(QFile::copy(MovieFile(TMovieKind::TwoAudioLong), copy));
  TFrmViewer viewer;
  Watch(viewer);
  OpenAndSettle(viewer, copy, nullptr);
  SeekTo(viewer, 20 * kSecond);
  ASSERT_TRUE(WaitFor([&] { return Seconds(viewer) >= 20.2; }));
  ASSERT_TRUE(QFile::remove(copy));
  EXPECT_THROW(viewer._cmAudio2Click(), EDirectShowException);
  viewer.close();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].second, 20);
}

// Switches the shared X screen's saver and mode: the binary holds the
// resource lock x11_display_state.
TEST_F(ViewerTest, AMovieThatCannotBePlayedGivesTheScreenBackAtOnce) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
  const bool saverWasOn = platform::ScreenPhaseActive(platform::TScreenPhase::ScreenSaver);
  platform::SwitchScreenPhaseOn(platform::TScreenPhase::ScreenSaver);
  if (!platform::ScreenPhaseActive(platform::TScreenPhase::ScreenSaver)) GTEST_SKIP() << "no screen saver to switch";
  const auto before = platform::CurrentDisplaySettings();
  ASSERT_TRUE(before.has_value());
  const bool smaller = before->Width > 800 && before->Height > 600 && testenv::Offer800x600();
  Parameters().ScreenSettingsMode = smaller ? 1 : 0;
  auto screenAsBefore = [&] {
    const auto now = platform::CurrentDisplaySettings();
    return now && now->Width == before->Width && now->Height == before->Height &&
           platform::ScreenPhaseActive(platform::TScreenPhase::ScreenSaver);
  };

  TFrmViewer viewer;
  Watch(viewer);
  TMovieData record(MovieFile(TMovieKind::TextFile), true);
  record.ViewPosition = 77;
  EXPECT_THROW(viewer.OpenMovie(record.FileName, &record), EDirectShowException);
  EXPECT_FALSE(viewer.isVisible());
  EXPECT_FALSE(viewer.FilterGraph->Active());
  EXPECT_TRUE(screenAsBefore());
  viewer.close();
  EXPECT_TRUE(handed.empty());

  // A movie that plays keeps them off until it is closed, paused or not.
  const QString movie = MovieFile(TMovieKind::MjpegPcm);
  OpenAndSettle(viewer, movie, nullptr);
  EXPECT_FALSE(platform::ScreenPhaseActive(platform::TScreenPhase::ScreenSaver));
  if (smaller) {
    EXPECT_EQ(platform::CurrentDisplaySettings()->Width, 800);
  } else {
    std::printf("800 x 600 not offered: only the screen saver is checked\n");
  }
  viewer._sbPause->Click();
  viewer.close();
  EXPECT_TRUE(screenAsBefore());
  EXPECT_EQ(handed.size(), 1u);

  if (!saverWasOn) platform::SwitchScreenPhaseOff(platform::TScreenPhase::ScreenSaver);
}

TEST_F(ViewerTest, SubtitlesOfTheMovieShowInsideThePictureInEveryDisplaySizeAndTheChoiceIsKept) {
  const QString file = MovieFile(TMovieKind::SubtitledMkv);
  ASSERT_FALSE(file.isEmpty());
  TMovieData record(file, true);
  TFrmViewer viewer;
  OpenAndSettle(viewer, file, &record);
  // The track the movie marks as default is on at opening.
  ASSERT_EQ(viewer.SubtitleCount(), 1);
  EXPECT_EQ(viewer.Subtitle(), 1);
  EXPECT_TRUE(viewer.cmSubtitles->isVisible());
  viewer.cmSubtitles->menu()->aboutToShow();
  ASSERT_EQ(viewer.cmSubtitles->menu()->actions().size(), 2);
  EXPECT_EQ(viewer.cmSubtitles->menu()->actions()[1]->text(), QStringLiteral("English"));
  EXPECT_TRUE(viewer.cmSubtitles->menu()->actions()[1]->isChecked());
  TSubtitleOverlay* overlay = viewer.SubtitleOverlay;
  EXPECT_TRUE(WaitFor([&] { return overlay->Text() == QLatin1String(testmovies::kSubtitleText); }));

  // Wider than 16:9: in every size the text's area is the picture as seen,
  // inside the window.
  for (QAction* size : {viewer.cmDisplaySizeNormal, viewer.cmDisplaySizeFullScreen, viewer.cmDisplaySize_16_9}) {
    size->trigger();
    testenv::DrainEvents();
    const QRect area = overlay->VisiblePicture();
    const QRect inWindow(overlay->mapTo(&viewer, area.topLeft()), area.size());
    ASSERT_FALSE(area.isEmpty()) << size->text().toStdString();
    EXPECT_TRUE(viewer.rect().contains(inWindow)) << size->text().toStdString();
    EXPECT_TRUE(viewer.PnDsVideo->geometry().contains(inWindow)) << size->text().toStdString();
    EXPECT_TRUE(overlay->isVisible());
  }
  EXPECT_EQ(viewer.PnDsVideo->height(), viewer.PnDsVideo->width() * 9 / 16);  // the 16:9 band

  viewer.cmSubtitlesOff->trigger();
  EXPECT_EQ(viewer.Subtitle(), 0);
  EXPECT_FALSE(overlay->isVisible());
  EXPECT_EQ(MovieList().ReadString(QFileInfo(file).fileName(), QStringLiteral("Subtitle")), QStringLiteral("0"));
  viewer.close();
  OpenAndSettle(viewer, file, &record);
  EXPECT_EQ(viewer.Subtitle(), 0) << "the record's choice wins over the movie's";
  viewer.close();
}

TEST_F(ViewerTest, VolumeStepsTheWheelAndMuteReachTheGraphAndShowTheLevel) {
  const QString file = MovieFile(TMovieKind::HalfMinuteMjpegPcm);
  ASSERT_FALSE(file.isEmpty());
  Parameters().Volume = 100;
  Parameters().Muted = false;
  TFrmViewer viewer;
  OpenAndSettle(viewer, file, nullptr);
  EXPECT_EQ(viewer.FilterGraph->Volume(), 10000);
  EXPECT_FALSE(viewer._lbVolume->isVisible());

  QApplication::setActiveWindow(&viewer);
  QTest::keyClick(&viewer, Qt::Key_Down);
  EXPECT_EQ(Parameters().Volume, 95);
  EXPECT_EQ(viewer.FilterGraph->Volume(), 9500);
  EXPECT_TRUE(viewer._lbVolume->isVisible());
  EXPECT_EQ(viewer._lbVolume->text(), QStringLiteral("Volume 95 %"));
  for (int i = 0; i < 30; ++i) viewer.ChangeVolume(-1);
  EXPECT_EQ(Parameters().Volume, 0);  // not below silence
  viewer.cmVolumeUp->trigger();
  QTest::keyClick(&viewer, Qt::Key_Up);
  EXPECT_EQ(Parameters().Volume, 10);

  // The wheel over the picture: a step a notch, half notches add up.
  const QPointF at(viewer.DSVideoWindow->rect().center());
  auto wheel = [&](int delta) {
    QWheelEvent event(at, viewer.DSVideoWindow->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewer.DSVideoWindow, &event);
  };
  wheel(120);
  EXPECT_EQ(Parameters().Volume, 15);
  wheel(60);
  EXPECT_EQ(Parameters().Volume, 15);
  wheel(60);
  EXPECT_EQ(Parameters().Volume, 20);

  QTest::keyClick(&viewer, Qt::Key_M);
  EXPECT_TRUE(Parameters().Muted);
  EXPECT_TRUE(viewer.cmMute->isChecked());
  EXPECT_EQ(viewer.FilterGraph->Volume(), 0);
  EXPECT_EQ(viewer._lbVolume->text(), QStringLiteral("Sound off"));
  EXPECT_DOUBLE_EQ(viewer.MediaVolume(), 0.0);
  // A change of level unmutes, also from the desktop.
  viewer.MediaSetVolume(0.5);
  EXPECT_FALSE(Parameters().Muted);
  EXPECT_EQ(viewer.FilterGraph->Volume(), 5000);
  EXPECT_DOUBLE_EQ(viewer.MediaVolume(), 0.5);
  // Shown for a moment only.
  EXPECT_TRUE(WaitFor([&] { return !viewer._lbVolume->isVisible(); }));
  viewer.close();
}

TEST_F(ViewerTest, APauseStoresThePositionWithoutCountingAView) {
  const QString file = MovieFile(TMovieKind::LongVideoOnly);
  ASSERT_FALSE(file.isEmpty());
  // Played alone: the record itself, position only.
  TMovieData record(file, true);
  record.ViewCount = 4;
  record.ViewPosition = 600;
  TFrmViewer viewer;
  OpenAndSettle(viewer, file, &record);
  ASSERT_TRUE(WaitFor([&] { return Seconds(viewer) >= 585; }));
  viewer._sbPause->Click();
  const QString name = QFileInfo(file).fileName();
  EXPECT_NEAR(MovieList().ReadString(name, QStringLiteral("ViewPosition")).toInt(), 586, 2);
  EXPECT_FALSE(TMovieListDocument(MovieListPath()).ReadString(name, QStringLiteral("ViewCount")).size());
  EXPECT_EQ(TMovieListDocument(MovieListPath()).ReadString(name, QStringLiteral("ViewPosition")),
            MovieList().ReadString(name, QStringLiteral("ViewPosition")));
  viewer.close();

  // From the library: handed to its window, which stores it.
  Watch(viewer);
  OpenAndSettle(viewer, file, &record);
  ASSERT_TRUE(WaitFor([&] { return Seconds(viewer) >= 585; }));
  viewer.cmPause->trigger();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_NEAR(double(handed[0].second), 586, 2);
  viewer.close();
}

TEST(SubtitleTracks, CuesOverlapEndOrLastUntilTheNextAndMarkupBecomesText) {
  constexpr int64_t s = 1000000000;
  TSubtitleTrack track;
  track.AddCue(1 * s, 2 * s, QStringLiteral("one"));
  track.AddCue(1 * s + s / 2, 3 * s, QStringLiteral("two"));
  track.AddCue(1 * s, 2 * s, QStringLiteral("one"));  // read again after a seek
  EXPECT_EQ(track.TextAt(s / 2), QString());
  EXPECT_EQ(track.TextAt(s + s / 4), QStringLiteral("one"));
  EXPECT_EQ(track.TextAt(s + 3 * s / 4), QStringLiteral("one\ntwo"));
  EXPECT_EQ(track.TextAt(2 * s + s / 2), QStringLiteral("two"));
  EXPECT_EQ(track.TextAt(3 * s), QString());
  // Without a length: until the next cue, and never longer than ten seconds.
  track.AddCue(10 * s, -1, QStringLiteral("open"));
  track.AddCue(12 * s, -1, QStringLiteral("last"));
  EXPECT_EQ(track.TextAt(11 * s), QStringLiteral("open"));
  EXPECT_EQ(track.TextAt(13 * s), QStringLiteral("last"));
  EXPECT_EQ(track.TextAt(23 * s), QString());

  EXPECT_EQ(SubtitlePlainText("<i>Tom</i> &amp; <b>Jerry</b> &lt;3\n", true), QStringLiteral("Tom & Jerry <3"));
  EXPECT_EQ(SubtitlePlainText("a <b> c", false), QStringLiteral("a <b> c"));
  EXPECT_EQ(SubtitlePlainText(QByteArray("ends\0", 5), false), QStringLiteral("ends"));

  track.SetLanguage(QStringLiteral("fre"));
  EXPECT_EQ(track.Caption(3), QStringLiteral("French"));
  track.SetTitle(QStringLiteral("Commentary"));
  EXPECT_EQ(track.Caption(3), QStringLiteral("Commentary (French)"));
  EXPECT_EQ(TSubtitleTrack().Caption(2), QStringLiteral("2"));
}

TEST(SubtitleTracks, FilesBesideTheMovieAreFoundAndReadWhenAParserTakesThem) {
  gst_init(nullptr, nullptr);
  const QString dir = testenv::NewTempDir(QStringLiteral("beside"));
  const QString movie = dir + "/Holiday.2024.mkv";
  ASSERT_TRUE(testenv::WriteFile(movie, "x"));
  ASSERT_TRUE(testenv::WriteFile(dir + "/Holiday.2024.SRT",
                                 "1\n00:00:01,000 --> 00:00:02,500\n<i>First</i> line\n\n"
                                 "2\n00:01:00,000 --> 00:01:01,000\nCaf\xc3\xa9\n\n"));
  static const char kPicturePack[] = "\x00\x00\x01\xba\x44 not text";  // a picture-based file's start
  ASSERT_TRUE(testenv::WriteFile(dir + "/Holiday.2024.sub", QByteArray(kPicturePack, sizeof kPicturePack - 1)));
  ASSERT_TRUE(testenv::WriteFile(dir + "/Holiday.srt", "1\n00:00:01,000 --> 00:00:02,000\nother\n\n"));
  const QStringList beside = SubtitleFilesBeside(movie);
  EXPECT_EQ(beside, QStringList({dir + "/Holiday.2024.SRT", dir + "/Holiday.2024.sub"}));

  const auto track = ReadSubtitleFile(beside[0]);
  ASSERT_TRUE(track);
  constexpr int64_t s = 1000000000;
  EXPECT_EQ(track->TextAt(2 * s), QStringLiteral("First line"));
  EXPECT_EQ(track->TextAt(60 * s + s / 2), QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(track->TextAt(3 * s), QString());
  EXPECT_EQ(track->Caption(1), QStringLiteral("Holiday.2024.SRT"));
  // Pictures in a VobSub file (or anything else) find no text parser.
  EXPECT_FALSE(ReadSubtitleFile(beside[1]));
}
