// Lets a function see every event of a widget before the widget handles it.
#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

namespace kalbor {

class TEventWatch : public QObject {
 public:
  TEventWatch(QObject* watched, std::function<void(QEvent*)> on_event, QObject* parent)
      : QObject(parent), on_event_(std::move(on_event)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    on_event_(event);
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(QEvent*)> on_event_;
};

}  // namespace kalbor
