// Qt's own words in Japanese: the buttons, labels and titles of the dialogs Qt
// draws itself (the file and folder dialogs, the question box), so that no
// English shows through in a window that is Japanese everywhere else.
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>

namespace tessaly::gui {

// Installs Qt's Japanese translation from `folder` (Debian's is in
// qt6-translations-l10n) whatever the system's language: the program's users
// are Japanese and its own texts are Japanese only. Call it before the windows
// are made. Without the file it answers false and Qt speaks English; the
// program still runs.
bool InstallQtJapanese(QCoreApplication& app,
                       const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

}  // namespace tessaly::gui
