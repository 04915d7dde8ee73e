#pragma once
// Answers a modal window that the code under test is about to show: once
// it is the application's active modal window, `answer` runs with it (and
// should close it). Stops looking after a generous bound, so a window that
// never comes leaves no timer behind for later cases.
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testenv {

inline void AnswerModal(std::function<void(QWidget*)> answer, QDeadlineTimer deadline = QDeadlineTimer(60000)) {
  QTimer::singleShot(10, qApp, [answer = std::move(answer), deadline] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      answer(modal);
    } else if (!deadline.hasExpired()) {
      AnswerModal(answer, deadline);
    }
  });
}

}  // namespace testenv
