// Start-up of Cinvo: one running copy per program file; then either the
// movie named on the command line, played in the viewer (direct play), or
// the movie library; what must outlive the run is written back at the end.
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "app/pk_thumbnail.h"
#include "assets/qs_Assets.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_JustOne.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "framework/qs_tools.h"
#include "platform/font_config.h"
#include "platform/registry.h"
#include "platform/session_bus.h"
#include "platform/termination_signals.h"
#include "viewer/pk_fViewer.h"

namespace {

const QString kApplicationTitle = QStringLiteral("Cinvo");

// Set once, before the message loop starts.
bool DirectPlay = false;
// The record of the movie named on the command line (direct play only).
std::unique_ptr<TMovieData> CommandLineMovie;
// The window whose closing ends the run: the viewer in direct play, the
// library window otherwise.
QPointer<QWidget> MainWindow;

// The program's icon reaches the windows once the first of them is on the
// screen: decoding it and handing it to the window system, at its full size,
// took about as long as the rest of the main window's first show.
class TIconAfterFirstExposure : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Expose && !fDone) {
      fDone = true;
      // After this exposure has been painted.
      QTimer::singleShot(0, this, [this] {
        QApplication::setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
        qApp->removeEventFilter(this);
        deleteLater();
      });
    }
    return false;
  }

 private:
  bool fDone = false;
};

// Library mode: creates and shows the main window.
QWidget* CreateLibraryWindow() {
  TFrmShowcase* window;
  {
    platform::TRegistryReadBatch settings;  // the window's settings in one reading
    window = new TFrmShowcase();
  }
  window->show();
  return window;
}

// Direct play: the first argument, when it names an existing file, is played
// in the viewer, which becomes the main window. Further arguments are
// ignored. False when there is no such file; nothing has been made then.
bool PlayCommandLineMovie(const QStringList& arguments) {
  if (arguments.size() < 2) return false;
  const QString fileName = arguments.at(1);
  if (!IsExistingFile(fileName)) return false;
  {
    platform::TRegistryReadBatch settings;
    MainWindow = new TFrmViewer();
  }
  CommandLineMovie = std::make_unique<TMovieData>(fileName, true);
  CommandLineMovie->ReadRecord();
  FrmViewer->OpenMovie(fileName, CommandLineMovie.get());
  return true;
}

// A request to end from outside (a signal): every window closes through its
// normal close, as if the user had closed it, and the message loop ends.
void EndRunOnRequest() {
  QApplication::closeAllWindows();
  QCoreApplication::quit();
}

// The message loop. Signals caught so far arrive from its first pass: only
// then can the windows close through their normal close and the loop end.
void RunMessageLoop(platform::TTerminationSignals& termination) {
  termination.Deliver([](int) { EndRunOnRequest(); });
  QApplication::exec();
}

// An error shown outside the message loop (a movie that cannot be played):
// a request to end closes it, as its user would, and the run ends as usual.
void ShowEndingError(platform::TTerminationSignals& termination, const QString& message) {
  termination.Deliver([](int) { QApplication::closeAllWindows(); });
  ShowErrorMessage(message);
}

// Direct play: one more view, and the position the viewer reached.
void RecordCommandLineView() {
  CommandLineMovie->ViewPosition = FrmViewer->CurrentMovie().ViewPosition;
  CommandLineMovie->RecordView();
}

// Errors reported for later (a failed write) are shown before the end.
void ShowPendingErrors() { QCoreApplication::processEvents(); }

}  // namespace

int main(int argc, char** argv) {
  // File managers ask for thumbnails while Cinvo may run: no window, no
  // single-instance check.
  if (IsThumbnailCommand(argc, argv)) return RunThumbnailCommand(argc, argv);
  // Before anything else: a second copy only brings the first forward.
  if (!IsFirstInstance()) return EXIT_SUCCESS;
  platform::IgnoreClosedOutput();
  platform::StartLoadingFontConfig();

  TqsApplication app(argc, argv);
  platform::FinishLoadingFontConfig();
  platform::KeepQtFromStartingASessionBus();
  platform::TTerminationSignals termination;
  QApplication::setApplicationDisplayName(kApplicationTitle);
  qApp->installEventFilter(new TIconAfterFirstExposure(qApp));
  ListenForLaterInstances([] { return MainWindow.data(); });
  InstallShadowedHints();
  InitializeSettingsUnit();
  InitializeLauncherStrings();

  int exitCode = EXIT_SUCCESS;
  try {
    {
      platform::TRegistryReadBatch settings;
      Parameters().Load();
    }
    try {
      DirectPlay = PlayCommandLineMovie(QCoreApplication::arguments());
      if (!DirectPlay) MainWindow = CreateLibraryWindow();
      RunMessageLoop(termination);
      if (DirectPlay) RecordCommandLineView();
    } catch (const std::exception& e) {
      // A movie that cannot be played: the viewer stays closed and no view
      // is counted.
      ShowEndingError(termination, ErrorMessageOf(e));
      exitCode = EXIT_FAILURE;
    } catch (...) {
      ShowEndingError(termination, QStringLiteral("An unexpected error occurred."));
      exitCode = EXIT_FAILURE;
    }
    Parameters().Save();
  } catch (const std::exception& e) {
    ShowErrorMessage(ErrorMessageOf(e));
    exitCode = EXIT_FAILURE;
  }
  ShowPendingErrors();

  // Release in the reverse order of creation.
  delete MainWindow.data();
  delete FrmViewer;
  CommandLineMovie.reset();
  ReleaseParameters();
  ReleaseMovieList();
  FinalizeSettingsUnit();
  CloseInstanceMutex();
  return exitCode;
}
