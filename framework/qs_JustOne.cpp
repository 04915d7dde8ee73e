#include "framework/qs_JustOne.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

#include <memory>

#include "platform/program_path.h"
#include "platform/single_instance.h"

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
  if (!window || window->isHidden()) return;
  if (window->isMinimized())
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window->raise();
  window->activateWindow();
  // A question the window asks stays in front of it.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
    modal->raise();
    modal->activateWindow();
  }
}
