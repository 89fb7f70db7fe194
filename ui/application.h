// The application object: an error that escapes any event handler is shown
// in a message box and the program keeps running. Also the application's
// identity on the desktop: its id (the name of its desktop entry, metadata
// and icon) and its icon.
#pragma once

#include <QApplication>
#include <QIcon>

namespace kalbor {

inline constexpr char kApplicationId[] = "org.kalbor.Kalbor";

// The icon of the desktop entry, at each size it is drawn in.
QIcon ApplicationIcon();

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kalbor
