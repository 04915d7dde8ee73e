// The viewer's subtitles: the movie's text streams and the subtitle files
// beside it, one chosen at a time from the "Subtitles" menu, painted over
// the picture, the choice kept in the movie's record.
#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <algorithm>

#include "app/pk_param.h"
#include "framework/qs_components.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_utils.h"
#include "viewer/pk_fViewer.h"
#include "viewer/subtitle_overlay.h"
#include "viewer/subtitle_tracks.h"
#include "viewer/video_window.h"

void TFrmViewer::BuildSubtitles() {
  cmSubtitles = MenuItem(this, "cmSubtitles", QStringLiteral("Subtitles"));
  cmSubtitles->setMenu(new QMenu(PopupMenu));
  cmSubtitlesOff = MenuItem(this, "cmSubtitlesOff", QStringLiteral("Off"));
  cmSubtitlesOff->setCheckable(true);
  connect(cmSubtitlesOff, &QAction::triggered, this, [this] { SelectSubtitle(0); });
  cmSubtitles->setVisible(false);
  connect(cmSubtitles->menu(), &QMenu::aboutToShow, this, [this] { SubtitleCaptions(); });
  SubtitleOverlay = new TSubtitleOverlay(DSVideoWindow, [this]() -> int64_t {
    int64_t current = 0;
    if (!fMediaSeeking || Failed(fMediaSeeking->GetCurrentPosition(&current))) return -1;
    return current * 100;  // media time is in 100 ns
  });
}

void TFrmViewer::FindSubtitles(bool opening) {
  std::vector<std::pair<uint64_t, std::shared_ptr<TSubtitleTrack>>> found;
  TFilterList filters(FilterGraph->Graph());
  for (int i = 0; i < filters.Count(); ++i)
    if (auto track = SubtitleTrackOf(filters.Items(i))) found.emplace_back(SubtitleRendererSerial(filters.Items(i)), track);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (opening) {
    fSubtitleFiles.clear();
    for (const QString& file : SubtitleFilesBeside(fMovieFileName))
      if (auto track = ReadSubtitleFile(file)) fSubtitleFiles.push_back(track);
  }
  fSubtitleTracks.clear();
  for (auto& entry : found) fSubtitleTracks.push_back(entry.second);
  fSubtitleTracks.insert(fSubtitleTracks.end(), fSubtitleFiles.begin(), fSubtitleFiles.end());

  // One entry per track, in a fresh group.
  QMenu* menu = cmSubtitles->menu();
  for (QAction* item : menu->actions())
    if (item != cmSubtitlesOff) delete item;
  menu->clear();
  qDeleteAll(menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
  menu->addAction(cmSubtitlesOff);
  auto* group = new QActionGroup(menu);
  group->addAction(cmSubtitlesOff);
  for (int n = 1; n <= SubtitleCount(); ++n) {
    QAction* item = menu->addAction(QString());
    item->setObjectName(QStringLiteral("_cmSubtitle%1").arg(n));
    item->setCheckable(true);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, n] { SelectSubtitle(n); });
  }
  SubtitleCaptions();
  cmSubtitles->setVisible(SubtitleCount() > 0);

  int choice = fSubtitle;
  if (opening) {
    choice = fCurrentMovie->FileName.isEmpty() ? -1 : fCurrentMovie->StoredSubtitle();
    if (choice < 0) {
      // The track the movie marks; else a file the user put beside it,
      // which is there to be shown.
      choice = 0;
      for (int n = 1; n <= SubtitleCount() && choice == 0; ++n)
        if (fSubtitleTracks[n - 1]->Preferred()) choice = n;
      if (choice == 0 && !fSubtitleFiles.empty()) choice = SubtitleCount() - int(fSubtitleFiles.size()) + 1;
    }
  }
  SelectSubtitle(choice > SubtitleCount() ? 0 : choice, false);
}

void TFrmViewer::SubtitleCaptions() {
  const QList<QAction*> items = cmSubtitles->menu()->actions();
  for (int n = 1; n <= SubtitleCount() && n < items.size(); ++n) {
    QString caption = fSubtitleTracks[n - 1]->Caption(n);
    if (caption == QString::number(n)) caption = QStringLiteral("Track %1").arg(n);
    items[n]->setText(caption);
  }
}

void TFrmViewer::SelectSubtitle(int n, bool keep) {
  if (n < 0 || n > SubtitleCount()) return;
  fSubtitle = n;
  const QList<QAction*> items = cmSubtitles->menu()->actions();
  if (n < items.size()) items[n]->setChecked(true);
  SubtitleOverlay->SetTrack(n > 0 ? fSubtitleTracks[n - 1] : nullptr);
  if (keep && !fCurrentMovie->FileName.isEmpty()) fCurrentMovie->SaveSubtitle(n);
}
