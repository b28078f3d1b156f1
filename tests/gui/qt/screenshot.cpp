// Pictures of the real windows for the README: the main window with a list of
// drawings, the add dialog and the question before a run as Qt draws them in
// Japanese, and both windows in the middle of converting them.
//
//   tessaly-screenshot OUTPUT_DIR EXAMPLES_DIR
//
// Run it under a display (xvfb-run) with a Japanese font installed. The
// drawings are copies of the examples in a folder of its own; nothing else is
// touched.
#include <QApplication>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/window_model.h"
#include "gui/qt/qt_language.h"
#include "gui/qt/qt_view.h"
#include "io/path_text.h"

namespace fs = std::filesystem;
using namespace tessaly;

namespace {

struct ShotPlatform : PlatformService {
  fs::path root;
  fs::path DesktopFolder() override { return root / "Desktop"; }
  fs::path DocumentsFolder() override { return root / "Documents"; }
  fs::path DefaultFolder() override { return root; }
  fs::path SettingsFile() override { return root / "tessaly.dat"; }
  bool OpenWithAssociatedProgram(const fs::path&) override { return false; }
};

bool Save(QWidget& w, const fs::path& file) {
  const bool ok = w.grab().save(QString::fromStdString(PathToUtf8(file)), "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "could not write", PathToUtf8(file).c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessaly"));
  gui::InstallQtJapanese(app);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessaly-screenshot OUTPUT_DIR EXAMPLES_DIR\n");
    return 2;
  }
  const fs::path out = argv[1], examples = argv[2];

  std::error_code ec;
  ShotPlatform platform;
  // A short folder of its own, so that the paths in the pictures read well.
  platform.root = fs::temp_directory_path() / "tessaly-demo";
  fs::remove_all(platform.root, ec);
  const fs::path drawings = platform.root / "図面" / "3階平面図";
  const fs::path converted = platform.root / "変換済み";
  fs::create_directories(drawings);
  fs::create_directories(converted);
  QStringList files;
  for (const auto& e : fs::recursive_directory_iterator(examples)) {
    if (!e.is_regular_file()) continue;
    const std::string ext = UpperExtension(e.path());
    if (ext != ".JWW" && ext != ".JWS") continue;
    const fs::path copy = drawings / e.path().filename();
    fs::copy_file(e.path(), copy, fs::copy_options::overwrite_existing);
    files << QString::fromStdString(PathToUtf8(copy));
  }
  files.sort();

  Settings s;
  s.destination = Destination::kChosenFolder;
  s.edit1 = WithSeparator(PathToUtf8(converted));
  SaveSettings(platform.SettingsFile(), s, "");

  WindowModel model(platform);
  gui::DialogHooks hooks;
  hooks.openFiles = [&](QWidget*, const QString&) { return files; };
  hooks.folder = [](QWidget*, const QString&) { return QString(); };
  int status = 0;
  // The question as the model asks it, drawn before it is answered.
  hooks.confirm = [&](QWidget* parent, const QString& question) {
    const auto box = gui::MakeQuestionBox(parent, question);
    box->show();
    QCoreApplication::processEvents();
    if (!Save(*box, out / "tessaly-question-qt.png")) status = 1;
    return true;
  };
  gui::QtView view(model, hooks);
  view.Start({});
  gui::TForm1& f1 = view.Form1();
  gui::TForm2& f2 = view.Form2();

  QTimer::singleShot(200, &f1, [&] {
    // The add dialog in the drawings' folder, once it has listed them.
    {
      const auto dialog = gui::MakeAddDialog(&f1, QString::fromStdString(PathToUtf8(drawings)));
      QEventLoop listed;
      for (auto* listing : dialog->findChildren<QFileSystemModel*>())
        QObject::connect(listing, &QFileSystemModel::directoryLoaded, &listed, &QEventLoop::quit);
      QTimer::singleShot(5000, &listed, &QEventLoop::quit);
      dialog->selectFile(QStringLiteral("plan.jww"));
      dialog->resize(760, 400);
      dialog->show();
      listed.exec();
      QCoreApplication::processEvents();
      if (!Save(*dialog, out / "tessaly-dialog-qt.png")) status = 1;
    }
    f1.Button2->click();
    f1.ListBox1->item(2)->setSelected(true);
    if (!Save(f1, out / "tessaly-main.png")) status = 1;
    f1.ListBox1->clearSelection();

    // In the middle of the run: the progress window with its log and bar,
    // and the main window's status text. Timers fire while the run lets the
    // windows repaint.
    auto* during = new QTimer(&f1);
    during->setInterval(0);
    QObject::connect(during, &QTimer::timeout, &f1, [&, during] {
      if (f2.ListBox1->count() < (files.size() + 1) / 2) return;
      during->stop();
      f2.repaint();
      if (!Save(f2, out / "tessaly-progress.png")) status = 1;
      if (!Save(f1, out / "tessaly-main-running.png")) status = 1;
    });
    during->start();
    f1.Button4->click();
    during->stop();
    f1.close();
  });
  const int rc = QApplication::exec();
  fs::remove_all(platform.root, ec);
  return rc != 0 ? rc : status;
}
