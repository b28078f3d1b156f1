// tessaly: the desktop program. Files given as arguments are converted at once,
// without asking, and the program closes.
#include <QApplication>
#include <QStringList>

#include "app/window_model.h"
#include "gui/qt/qt_platform.h"
#include "gui/qt/qt_view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  QApplication::setDesktopFileName(QStringLiteral("tessaly"));

  tessaly::gui::QtPlatform platform;
  tessaly::WindowModel model(platform);
  tessaly::gui::QtView view(model, tessaly::gui::DialogHooks::Real());

  std::vector<std::string> args;
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
  view.Start(args);

  const int status = QApplication::exec();
  return status != 0 ? status : model.ExitStatus();
}
