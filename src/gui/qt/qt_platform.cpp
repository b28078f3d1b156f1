#include "gui/qt/qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "io/path_text.h"

namespace tessaly::gui {
namespace {

std::filesystem::path P(const QString& s) {
  return s.isEmpty() ? std::filesystem::path() : PathFromUtf8(s.toStdString());
}

}  // namespace

std::filesystem::path QtPlatform::DesktopFolder() {
  return P(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

std::filesystem::path QtPlatform::DocumentsFolder() {
  return P(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

std::filesystem::path QtPlatform::DefaultFolder() {
#ifdef _WIN32
  return P(QCoreApplication::applicationDirPath());
#else
  // The program's own folder holds programs only here.
  return P(QDir::homePath());
#endif
}

std::filesystem::path QtPlatform::SettingsFile() {
#ifdef _WIN32
  // Beside the program, named after it: X.exe keeps its settings in X.dat.
  const QFileInfo exe(QCoreApplication::applicationFilePath());
  return P(exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".dat"));
#else
  // The program's folder is not writable here; the user's configuration
  // folder is. A relative XDG_CONFIG_HOME is to be ignored.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty() || QDir::isRelativePath(config))
    config = QDir::homePath() + QStringLiteral("/.config");
  return P(config + QStringLiteral("/tessaly/tessaly.dat"));
#endif
}

bool QtPlatform::OpenWithAssociatedProgram(const std::filesystem::path& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(PathToUtf8(file))));
}

}  // namespace tessaly::gui
