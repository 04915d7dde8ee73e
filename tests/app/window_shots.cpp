// Saves the about box and both pages of the parameters dialog as PNG files
// for a person to look at, on a real display:
//   xvfb-run -a -s '-screen 0 1280x1024x24' build/tests/app/cinvo_window_shots /tmp/shots
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

#include "app/pk_fparam.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "assets/qs_Assets.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "framework/qs_fBaseAPropos.h"
#include "framework/qs_stringlist.h"

namespace {

QString gDir;

// The window with its frame as the screen shows it.
void Save(QWidget* window, const char* name) {
  window->show();
  window->raise();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  QPixmap shot = window->grab();
  const QString path = gDir + QLatin1Char('/') + QString::fromLatin1(name);
  if (!shot.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  // Never the user's own settings.
  QTemporaryDir scratch;
  qputenv("CINVO_REGISTRY", (scratch.path() + "/registry.json").toLocal8Bit());
  qputenv("CINVO_LANGUAGES", (scratch.path() + "/Languages").toLocal8Bit());
  QDir().mkpath(scratch.path() + "/Languages");
  QFile about(scratch.path() + "/Languages/About.txt");
  if (about.open(QIODevice::WriteOnly))
    about.write("Cinvo lists, previews and plays the movies kept on the hard disk and on CDs.\r\n\r\n"
                "This text comes from the language's About.txt; right-click it to edit the file.\r\n");
  about.close();

  TqsApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
  gDir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(gDir);
  InitializeSettingsUnit();
  InitializeLauncherStrings();
  Parameters().Load();
  Parameters().MovieDir = QStringLiteral("/home/user/Movies");
  Parameters().CDReader = QStringLiteral("/dev/sr0");
  Parameters().Recurse = true;
  Parameters().InternalViewer = true;
  Parameters().Brightness = 6300;

  {
    TfrmBaseAboutBox box;
    box.setWindowTitle((*AppStrings)[2]);
    Save(&box, "about.png");
  }
  {
    TFrmRBParam dialog;
    dialog.setWindowTitle((*AppStrings)[sSettings]);
    dialog.ParametersToControls();
    Save(&dialog, "parameters-list.png");
    dialog.PageControl->setCurrentIndex(1);
    Save(&dialog, "parameters-viewer.png");
  }
  ReleaseParameters();
  FinalizeSettingsUnit();
  return 0;
}
