// Start-up of Cinvo.
#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "assets/qs_Assets.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"

#include <QIcon>

int main(int argc, char** argv) {
  TqsApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Cinvo"));
  QApplication::setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
  InstallShadowedHints();
  InitializeSettingsUnit();
  InitializeLauncherStrings();
  int exitCode = 0;
  try {
    Parameters().Load();
    {
      // Library mode: the main window lists the movies until it closes.
      TFrmShowcase window;
      window.show();
      exitCode = app.exec();
    }
    Parameters().Save();
  } catch (const std::exception& e) {
    ShowErrorMessage(QString::fromUtf8(e.what()));
    exitCode = 1;
  }
  ReleaseParameters();
  ReleaseMovieList();
  FinalizeSettingsUnit();
  return exitCode;
}
