#include "framework/qs_JustOne.h"

#include <QApplication>
#include <QGuiApplication>
#include <QFileInfo>
#include <QWidget>

#include <memory>

#include "platform/program_path.h"
#include "platform/single_instance.h"
#include "platform/window_activation.h"

namespace {

// The claim of this run; empty when it runs unguarded.
std::unique_ptr<platform::TSingleInstance> InstanceMutex;

}  // namespace

QString InstanceName() { return QFileInfo(platform::ProgramFilePath()).completeBaseName(); }

bool IsFirstInstance() {
  auto claim = std::make_unique<platform::TSingleInstance>(InstanceName());
  switch (claim->Claim()) {
    case platform::TInstanceClaim::First:
      InstanceMutex = std::move(claim);
      return true;
    case platform::TInstanceClaim::Running:
      return false;
    case platform::TInstanceClaim::NoLock:
      return true;
  }
  return true;
}

void ListenForLaterInstances(std::function<QWidget*()> mainWindow) {
  if (!InstanceMutex) return;
  InstanceMutex->Listen([mainWindow = std::move(mainWindow)] {
    if (mainWindow) BringWindowForward(mainWindow());
  });
}

void CloseInstanceMutex() { InstanceMutex.reset(); }

void BringWindowForward(QWidget* window) {
  // A question the program asks stays in front and keeps the keyboard, also
  // when it is all there is to see (an error at start-up).
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && !modal->isVisible()) modal = nullptr;
  if (window && !window->isHidden()) {
    if (window->isMinimized())
      window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
  } else if (!modal) {
    return;
  }
  QWidget* front = modal ? modal : window;
  front->raise();
  front->activateWindow();
  // Qt asks with the time of the last input it saw, which the X server and
  // window managers refuse once the user has gone elsewhere.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) platform::ActivateTopLevelWindow(front->winId());
}
