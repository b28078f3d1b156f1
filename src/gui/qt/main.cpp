// tessaly: the desktop program. Files given as arguments are converted at once,
// without asking, and the program closes.
#include <QApplication>
#include <QIcon>
#include <QStringList>

#include "app/version.h"
#include "app/window_model.h"
#include "gui/qt/qt_language.h"
#include "gui/qt/qt_platform.h"
#include "gui/qt/qt_view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  QApplication::setDesktopFileName(QStringLiteral("tessaly"));
  QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
  // The program's icon, compiled in: the windows show it also where it was not
  // installed into the desktop's icon theme.
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/tessaly-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  // Before the windows are made: the dialogs and the question box then speak
  // Japanese too.
  tessaly::gui::InstallQtJapanese(app);

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
