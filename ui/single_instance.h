// One running copy per user: the first copy listens on a local socket named
// after the title "Kalbor" and the user; a second copy asks it to restore
// itself if minimised or else come to the front, then ends without making a
// window or touching any file.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace kalbor {

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit TSingleInstance(const QString& title);
  // True when another copy answered (and was asked to show itself).
  bool SignalRunningCopy();
  // Starts listening; `show_window` runs when a later copy knocks.
  bool Listen(std::function<void()> show_window);
  QString ServerName() const { return name_; }

 private:
  QString name_;
  QLocalServer server_;
  std::function<void()> show_window_;
};

}  // namespace kalbor
