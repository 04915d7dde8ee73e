#include "framework/qs_application.h"

#include <QMessageBox>
#include <QMetaObject>

#include <cstdio>
#include <exception>

#include "framework/qs_exception.h"

namespace {

TErrorDisplay& CurrentErrorDisplay() {
  static TErrorDisplay display;
  return display;
}

}  // namespace

QString ErrorMessageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return QString::fromUtf8(e.what());
}

void SetErrorDisplay(TErrorDisplay display) { CurrentErrorDisplay() = std::move(display); }

void ShowErrorMessage(const QString& message) {
  if (CurrentErrorDisplay()) {
    CurrentErrorDisplay()(message);
  } else if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

void ReportErrorLater(const QString& message) {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [message] { ShowErrorMessage(message); }, Qt::QueuedConnection);
  else
    ShowErrorMessage(message);
}

TqsApplication::TqsApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // For runs nobody sits in front of (scripts, tests): errors go to the
  // standard error output instead of a message box that waits for a click.
  if (!qEnvironmentVariableIsEmpty("CINVO_ERRORS_TO_STDERR")) {
    SetErrorDisplay([](const QString& message) {
      std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
      std::fflush(stderr);
    });
  }
}

bool TqsApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorMessage(ErrorMessageOf(e));
  } catch (...) {
    ShowErrorMessage(QStringLiteral("An unexpected error occurred."));
  }
  return false;
}
