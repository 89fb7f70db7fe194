// Program entry: one copy per user, then the window, the data module and the
// message loop.
#include <memory>

#include <QFont>
#include <QFontDatabase>
#include <QWidget>

#include "data/dm1.h"
#include "storage/dates.h"
#include "storage/files.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"

int main(int argc, char** argv) {
  using namespace kalbor;
  TApplication app(argc, argv);
  TSingleInstance instance("Kalbor");
  if (instance.SignalRunningCopy()) return 0;

  QApplication::setApplicationName("Kalbor");
  QApplication::setApplicationDisplayName(QString());
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  QApplication::setFont(font);
  FormatSettings().short_date_format = ShortDateFormat().toStdString();

  const std::string folder = ProgramFolder();
  auto form = std::make_unique<TForm1>(folder);
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
