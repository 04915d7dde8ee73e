#pragma once
// The application object and its default error display: an exception that
// escapes an event handler is shown to the user and the program goes on.
#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

using TErrorDisplay = std::function<void(const QString& message)>;

// Replaces how errors are shown (tests record them); empty restores the
// message box.
void SetErrorDisplay(TErrorDisplay display);
// Shows `message` through the error display now.
void ShowErrorMessage(const QString& message);
// Shows `message` once the current event has been handled, so the caller
// carries on (a failed write must not stop a movie from starting).
void ReportErrorLater(const QString& message);
// The message an exception carries.
QString ErrorMessageOf(const std::exception& e);

class TqsApplication : public QApplication {
  Q_OBJECT
 public:
  TqsApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
