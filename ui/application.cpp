#include "ui/application.h"

#include <exception>

#include "ui/message_boxes.h"

namespace kalbor {

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
