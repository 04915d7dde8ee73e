#pragma once
// Answers a modal window that the code under test is about to show: once
// it is the application's active modal window, `answer` runs with it (and
// should close it). Gives up after a generous bound, closing whatever modal
// window is open, so a test fails instead of hanging.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace testenv {

inline void AnswerModal(std::function<void(QWidget*)> answer, int tries = 500) {
  QTimer::singleShot(10, qApp, [answer = std::move(answer), tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal) {
      answer(modal);
    } else if (tries > 0) {
      AnswerModal(answer, tries - 1);
    }
  });
}

}  // namespace testenv
