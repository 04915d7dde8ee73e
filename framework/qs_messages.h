#pragma once
// The program's posted window messages: one event type carrying a message
// number and its two parameters, delivered on the receiver's thread.
#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_APP = 0x8000;

class TqsMessageEvent : public QEvent {
 public:
  TqsMessageEvent(unsigned message, intptr_t wParam, intptr_t lParam)
      : QEvent(MessageEventType()), fMessage(message), fWParam(wParam), fLParam(lParam) {}

  unsigned Message() const { return fMessage; }
  intptr_t WParam() const { return fWParam; }
  intptr_t LParam() const { return fLParam; }

  static QEvent::Type MessageEventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  // The message number of `event`, or 0 when it is not a posted message.
  static unsigned MessageOf(const QEvent* event) {
    return event->type() == MessageEventType() ? static_cast<const TqsMessageEvent*>(event)->fMessage : 0;
  }

 private:
  unsigned fMessage;
  intptr_t fWParam;
  intptr_t fLParam;
};

// Queues the message for `receiver`; safe from any thread. The receiver
// handles it in event() / customEvent() once its thread's loop runs.
inline void PostWindowMessage(QObject* receiver, unsigned message, intptr_t wParam = 0,
                              intptr_t lParam = 0) {
  QCoreApplication::postEvent(receiver, new TqsMessageEvent(message, wParam, lParam));
}
