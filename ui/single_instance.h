// One running copy per user and program folder: the first copy listens on a
// local socket named after the title "Kalbor", the user and the program
// folder; a second copy asks it to restore itself if minimised or else come
// to the front, then ends without making a window or touching any file.
// Copies keeping their files in different folders do not meet.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

namespace kalbor {

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  // `program_folder` as ProgramFolders() gives it.
  explicit TSingleInstance(const QString& title, const std::string& program_folder = {});
  // True when another copy answered (and was asked to show itself).
  bool SignalRunningCopy();
  // Starts listening; `show_window` runs when a later copy knocks.
  bool Listen(std::function<void()> show_window);

 private:
  QString name_;
  QLocalServer server_;
  std::function<void()> show_window_;
};

}  // namespace kalbor
