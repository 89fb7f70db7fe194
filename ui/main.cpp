// Program entry: the program folder, one copy per user and folder, then the
// window, the data module and the message loop.
#include <cstdio>
#include <exception>
#include <memory>

#include <QFont>
#include <QFontDatabase>
#include <QWidget>

#include "data/dm1.h"
#include "data/program_folder.h"
#include "storage/dates.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/single_instance.h"

int main(int argc, char** argv) {
  using namespace kalbor;
  TApplication app(argc, argv);
  const TProgramFolders folders = ProgramFolders();
  TSingleInstance instance("Kalbor", folders.folder);
  if (instance.SignalRunningCopy()) return 0;

  QApplication::setApplicationName("Kalbor");
  QApplication::setApplicationDisplayName(QString());
  QGuiApplication::setDesktopFileName(kApplicationId);
  QApplication::setWindowIcon(ApplicationIcon());
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  QApplication::setFont(font);
  FormatSettings().short_date_format = ShortDateFormat().toStdString();

  try {
    PrepareProgramFolder(folders);
  } catch (const std::exception& e) {
    // Nothing has been written anywhere: the program cannot go on.
    std::fprintf(stderr, "kalbor: %s\n", e.what());
    ShowErrorMessage(nullptr, e.what());
    return 1;
  }
  auto form = std::make_unique<TForm1>(folders.folder, folders.shipped + kHelpFileName);
  TDM1 dm(*form);
  form->StartDataModule(dm);
  instance.Listen([&form] {
    if (form->isMinimized()) form->showNormal();
    form->raise();
    form->activateWindow();
  });
  form->show();
  int result = app.exec();
  // The window's grids let go of the tables before the data module closes
  // them.
  form.reset();
  return result;
}
