#include "ui/application.h"

#include <exception>

#include "ui/message_boxes.h"

// The icons live in a static library; Qt wants their resources registered
// from outside any namespace.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace kalbor {

QIcon ApplicationIcon() {
  InitIconResources();
  QIcon icon;
  for (int size : {48, 64, 128, 256})
    icon.addFile(QString(":/icons/%1-%2.png").arg(kApplicationId).arg(size), QSize(size, size));
  return icon;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorMessage(activeWindow(), e.what());
  } catch (...) {
    ShowErrorMessage(activeWindow(), "Unknown error");
  }
  return false;
}

}  // namespace kalbor
