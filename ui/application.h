// The application object: an error that escapes any event handler is shown
// in a message box and the program keeps running.
#pragma once

#include <QApplication>

namespace kalbor {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kalbor
