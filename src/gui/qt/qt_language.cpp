#include "gui/qt/qt_language.h"

#include <QLocale>
#include <QTranslator>

namespace tessaly::gui {

bool InstallQtJapanese(QCoreApplication& app, const QString& folder) {
  // Dates and sizes in the file dialog as a Japanese desktop writes them.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"), folder) ||
      !app.installTranslator(translator)) {
    delete translator;
    qWarning("Qt's Japanese translation (qtbase_ja.qm) is not in %s: its dialogs speak English",
             qPrintable(folder));
    return false;
  }
  return true;
}

}  // namespace tessaly::gui
