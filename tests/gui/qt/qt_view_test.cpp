// The Qt view's wiring: the real windows, found by object name, driven
// offscreen. What the model does with the actions is tested with the model.
#include "gui/qt/qt_view.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "app/settings.h"
#include "app/window_form.h"
#include "app/window_model.h"
#include "gui/qt/qt_language.h"
#include "io/path_text.h"
#include "jww/jww_data.h"
#include "support/drawing_builder.h"
#include "support/temp_dir.h"

namespace tessaly::gui {
namespace {
namespace fs = std::filesystem;

QString Q(const fs::path& p) {
  return QString::fromStdString(PathToUtf8(p));
}
QString Q(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

struct FakePlatform : PlatformService {
  fs::path root;
  std::vector<fs::path> opened;
  fs::path DesktopFolder() override { return root / "Desktop"; }
  fs::path DocumentsFolder() override { return root / "Documents"; }
  fs::path DefaultFolder() override { return root; }
  fs::path SettingsFile() override { return root / "tessaly.dat"; }
  bool OpenWithAssociatedProgram(const fs::path& f) override { return opened.push_back(f), true; }
};

// The windows over a model, with dialogs that answer at once.
struct Fixture {
  test::TempDir dir;
  FakePlatform platform;
  WindowModel model{platform};
  QStringList asked;
  QStringList filesToAdd;
  QString folder;
  bool confirm = true;
  std::unique_ptr<QtView> view;

  // With `saved`, the settings file says that before the start.
  explicit Fixture(std::vector<std::string> args = {}, const Settings* saved = nullptr) {
    platform.root = dir.path();
    fs::create_directories(dir / "Desktop");
    if (saved) SaveSettings(platform.SettingsFile(), *saved, "");
    DialogHooks hooks{
        [this](QWidget*, const QString& s) { return asked << "open " + s, filesToAdd; },
        [this](QWidget*, const QString& s) { return asked << "folder " + s, folder; },
        [this](QWidget*, const QString& q) { return asked << q, confirm; }};
    view = std::make_unique<QtView>(model, hooks);
    view->Start(args);
  }
  TForm1& f1() { return view->Form1(); }
  TForm2& f2() { return view->Form2(); }
  QStringList Lines(QListWidget* list) {
    QStringList l;
    for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
    return l;
  }
  fs::path Drawing(const char* name, int dimensions) {
    test::draw::MakeDrawing(dir / name, dimensions);
    return dir / name;
  }
};

Settings Placed(QPoint form1, QRect form2) {
  Settings s;
  s.form1Left = form1.x();
  s.form1Top = form1.y();
  s.form2Left = form2.x();
  s.form2Top = form2.y();
  s.form2Width = form2.width();
  s.form2Height = form2.height();
  return s;
}

// Where a window was as it was first shown. A window manager frames a window
// after that, and until it has, Qt moves the inside to where the frame was
// asked for: only a window placed before it is shown is placed by its frame.
// (The offscreen windows have their frames at once.)
class FirstShown : public QObject {
 public:
  explicit FirstShown(QString window) : window_(std::move(window)) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~FirstShown() override { QCoreApplication::instance()->removeEventFilter(this); }
  std::optional<QPoint> pos;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !pos && watched->objectName() == window_ &&
        watched->isWidgetType())
      pos = static_cast<QWidget*>(watched)->pos();
    return false;
  }

 private:
  QString window_;
};

// The primary screen less its panels: where windows go.
QRect WorkArea() {
  return QGuiApplication::primaryScreen()->availableGeometry();
}

QString ButtonText(QWidget& dialog, QDialogButtonBox::StandardButton which) {
  auto* box = dialog.findChild<QDialogButtonBox*>();
  QPushButton* button = box ? box->button(which) : nullptr;
  return button ? button->text() : QString();
}

bool Drop(QWidget& target, const QList<QUrl>& urls, bool* entered = nullptr) {
  QMimeData mime;
  mime.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  if (entered) *entered = enter.isAccepted();
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(100, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &drop);
  return drop.isAccepted();
}

}  // namespace

class QtViewTest : public QObject {
  Q_OBJECT

 private slots:
  // Every control of the description under its name, of its kind, with its
  // caption, font and place; the windows' own captions, places and borders.
  void theWindowsAreBuiltAsDescribed() {
    Fixture fx;
    QVERIFY(fx.f1().isVisible() && !fx.f2().isVisible());
    fx.f2().show();  // what is aligned is placed once the window is shown
    // By kind, as ControlKind lists them.
    const char* const classes[] = {
        "QGroupBox",   "QRadioButton", "QLineEdit",  "QPushButton",  "QLabel",
        "QListWidget", "QCheckBox",    "QStatusBar", "QProgressBar",
    };
    const std::pair<QWidget*, const Form*> windows[] = {{&fx.f1(), &MainForm()},
                                                        {&fx.f2(), &ProgressForm()}};
    for (const auto& [window, form] : windows) {
      QCOMPARE(window->objectName(), Q(form->name));
      QCOMPARE(window->windowTitle(), Q(form->caption));
      QCOMPARE(window->pos(), QPoint(form->left, form->top));
      QCOMPARE(window->size(), QSize(form->width, form->height));
      QCOMPARE(window->minimumSize() != window->maximumSize(), form->resizable);
      QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
      QCOMPARE(bool(window->windowFlags() & Qt::WindowMaximizeButtonHint), form->resizable);
      QCOMPARE(window->font().pixelSize(), form->fontPixels);
      int bottom = 0;  // the height taken along the bottom edge
      for (const FormControl& c : form->controls) {
        if (c.align == ControlAlign::kBottom && c.parent.empty())
          bottom += window->findChild<QWidget*>(Q(c.name))->height();
      }
      for (const FormControl& c : form->controls) {
        auto* w = window->findChild<QWidget*>(Q(c.name));
        QVERIFY2(w && w->inherits(classes[static_cast<int>(c.kind)]), c.name.data());
        QCOMPARE(w->parentWidget()->objectName(), c.parent.empty() ? Q(form->name) : Q(c.parent));
        const char* caption = c.kind == ControlKind::kGroupBox ? "title" : "text";
        if (c.kind != ControlKind::kProgressBar && w->property(caption).isValid())
          QCOMPARE(w->property(caption).toString(), Q(c.caption));
        else
          QVERIFY(c.caption.empty());
        QCOMPARE(w->font().pixelSize(), c.fontPixels != 0 ? c.fontPixels : form->fontPixels);
        QCOMPARE(w->font().family(), JapaneseUiFont(13).family());
        QVERIFY2(w->isVisible(), c.name.data());
        const QRect inside = w->parentWidget()->rect();
        if (c.align == ControlAlign::kNone) {
          QCOMPARE(w->geometry(), QRect(c.rect.x, c.rect.y, c.rect.width, c.rect.height));
        } else if (!c.parent.empty()) {
          QVERIFY2(inside.contains(w->geometry()), c.name.data());
        } else if (c.align == ControlAlign::kBottom) {
          const int height = c.rect.height != 0 ? c.rect.height : w->height();
          QCOMPARE(w->geometry(), QRect(0, inside.height() - height, inside.width(), height));
        } else {
          QCOMPARE(w->geometry(), QRect(0, 0, inside.width(), inside.height() - bottom));
        }
        if (auto* list = qobject_cast<QListWidget*>(w))
          QCOMPARE(list->selectionMode() == QAbstractItemView::ExtendedSelection, c.multiSelect);
        if (auto* bar = qobject_cast<QStatusBar*>(w))
          QCOMPARE(bar->isSizeGripEnabled(), form->resizable);
      }
    }
    QVERIFY(fx.f1().RadioButton1->isChecked() && fx.f1().CheckBox1->isChecked());
    QCOMPARE(OpenDialogFilters(), (QStringList{QStringLiteral("Jww図面ファイル(*.jww)"),
                                               QStringLiteral("Jww図形ファイル(*.jws)"),
                                               QStringLiteral("Jwwファイル(*.jww *.jws)")}));
  }

  void eachControlReachesTheModel() {
    Fixture fx;
    TForm1& f1 = fx.f1();
    f1.Button4->click();  // an empty list
    QCOMPARE(f1.StatusBar1->currentMessage(), QStringLiteral("変換するファイルを指定して下さい"));
    QCOMPARE(f1.focusWidget(), f1.Button2);
    QVERIFY(fx.asked.isEmpty());

    const fs::path a = fx.Drawing("a.jww", 1);
    fx.filesToAdd = {Q(a), Q(fx.dir / "b.jws"), Q(fx.dir / "c.txt")};
    f1.Button2->click();
    QCOMPARE(fx.asked.takeFirst(), "open " + Q(fx.dir.path()));
    QCOMPARE(fx.Lines(f1.ListBox1), fx.filesToAdd);
    f1.ListBox1->item(1)->setSelected(true);
    f1.ListBox1->item(2)->setSelected(true);
    f1.Button3->click();
    QCOMPARE(fx.Lines(f1.ListBox1), QStringList{Q(a)});

    fx.folder = Q(fx.dir / "out");
    f1.Button1->click();
    QCOMPARE(fx.asked.takeFirst(), "folder " + Q(fx.dir.path()));
    QCOMPARE(f1.Edit1->text(), Q(fx.dir / "out") + "/");
    QTest::keyClicks(f1.Edit1, "x");
    QCOMPARE(fx.model.Edit1(), PathToUtf8(fx.dir / "out") + "/x");
    f1.RadioButton3->click();
    QCOMPARE(fx.model.GetDestination(), Destination::kSourceFolder);
    f1.CheckBox1->click();
    QVERIFY(!fx.model.CheckBox1());

    fx.confirm = false;
    f1.Button4->click();
    QVERIFY(
        fx.asked.takeFirst().startsWith(QStringLiteral("変換を開始します。よろしいですか？\n\n")));
    QVERIFY(!fs::exists(fx.dir / "a._JWW"));

    const QRect item = f1.ListBox1->visualItemRect(f1.ListBox1->item(0));
    QTest::mouseClick(f1.ListBox1->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(f1.ListBox1->viewport(), Qt::LeftButton, {}, item.center());
    QCOMPARE(fx.platform.opened, std::vector<fs::path>{a});

    // A drop is taken after an accepted drag-enter; what is no drawing is not.
    const fs::path d = fx.Drawing("D.JwW", 0);
    QVERIFY(Drop(f1, {QUrl::fromLocalFile(Q(d)), QUrl::fromLocalFile(Q(fx.dir / "c.txt")),
                      QUrl(QStringLiteral("https://example.invalid/x.jww"))}));
    QCOMPARE(fx.Lines(f1.ListBox1), (QStringList{Q(a), Q(d)}));

    f1.Button5->click();
    QVERIFY(!f1.isVisible());
    QVERIFY(fs::exists(fx.platform.SettingsFile()));
  }

  // During a run: the log and the bar, the buttons disabled, drops and close
  // refused; Esc in the progress window stops the run, and a failure keeps
  // the log open.
  void aRunShowsItsProgressAndEscStopsIt() {
    Fixture fx;
    TForm1& f1 = fx.f1();
    TForm2& f2 = fx.f2();
    test::WriteFile(fx.dir / "bad.jww", "not a drawing");
    const fs::path good = fx.Drawing("good.jww", 1), other = fx.Drawing("other.jww", 1);
    fx.filesToAdd = {Q(fx.dir / "bad.jww"), Q(good), Q(other)};
    f1.Button2->click();
    bool during = false;
    QTimer::singleShot(0, &f1, [&] {
      during = true;
      QVERIFY(f2.isVisible());
      QCOMPARE(fx.Lines(f2.ListBox1), QStringList{Q(fx.dir / "bad.jww")});
      QCOMPARE(f2.ListBox1->currentRow(), 0);
      QCOMPARE(f2.ProgressBar1->value(), 0);
      QCOMPARE(f2.ProgressBar1->maximum(), 3);
      QVERIFY(!f1.Button2->isEnabled() && !f1.Button3->isEnabled() && !f1.Button4->isEnabled());
      bool entered = true;
      Drop(f1, {QUrl::fromLocalFile(Q(good))}, &entered);
      QVERIFY(!entered);
      QTest::keyClick(f2.ListBox1, Qt::Key_Escape);
      QVERIFY(fx.model.AbortRequested());
      QVERIFY(!f1.close());  // closing during a run is refused
    });
    f1.Button4->click();
    QVERIFY(during);
    QCOMPARE(f1.StatusBar1->currentMessage(), QStringLiteral("変換を中断しました(ESC)"));
    QVERIFY(f2.isVisible());
    QCOMPARE(f2.ListBox1->count(), 3);
    QVERIFY(f2.ListBox1->item(1)->text().startsWith(QStringLiteral("変換できませんでした: ")));
    QCOMPARE(f2.ListBox1->item(2)->text(), QStringLiteral("3件中1件を変換できませんでした"));
    QCOMPARE(f2.ProgressBar1->value(), 1);
    QVERIFY(f1.Button4->isEnabled());
    QVERIFY(!fs::exists(fx.dir / "Desktop" / "good.jww"));
    QVERIFY(f1.close());
  }

  // Started with a file that fails: converted without a question, and the
  // program closes when the user closes the log.
  void theCommandLineRunClosesWithTheLog() {
    test::TempDir src;
    test::WriteFile(src / "bad.jww", "not a drawing");
    Fixture fx({PathToUtf8(src / "bad.jww")});
    QTRY_VERIFY(fx.f2().isVisible() && !fx.model.Converting());
    QVERIFY(fx.f1().isVisible());
    QVERIFY(fx.asked.isEmpty());
    fx.f2().close();
    QVERIFY(!fx.f1().isVisible());
    QCOMPARE(fx.model.ExitStatus(), 1);
  }

  // Delete and 削除 alike; Ctrl+A is the list's own.
  void theListTakesDeleteAndCtrlA() {
    struct Row {
      const char* name;
      std::vector<int> selected;
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      QStringList left;
    };
    const Row rows[] = {
        {"two lines", {0, 2}, Qt::Key_Delete, Qt::NoModifier, {"b.jww"}},
        {"nothing selected", {}, Qt::Key_Delete, Qt::NoModifier, {"a.jww", "b.jww", "c.jws"}},
        // Shift+Delete is not Delete: it cuts elsewhere, and here does nothing.
        {"shift", {1}, Qt::Key_Delete, Qt::ShiftModifier, {"a.jww", "b.jww", "c.jws"}},
        {"all", {}, Qt::Key_A, Qt::ControlModifier, {}},
    };
    for (const Row& r : rows) {
      Fixture fx;
      TForm1& f1 = fx.f1();
      for (const char* name : {"a.jww", "b.jww", "c.jws"}) fx.filesToAdd << Q(fx.dir / name);
      f1.Button2->click();
      for (int i : r.selected) f1.ListBox1->item(i)->setSelected(true);
      QTest::keyClick(f1.ListBox1, r.key, r.modifiers);
      if (r.key == Qt::Key_A) {
        QCOMPARE(f1.ListBox1->selectedItems().size(), 3);
        QTest::keyClick(f1.ListBox1, Qt::Key_Delete);
      }
      QStringList left;
      for (const QString& l : fx.Lines(f1.ListBox1)) left << QFileInfo(l).fileName();
      QVERIFY2(left == r.left, r.name);
    }
  }

  // The add dialog, the folder dialog and the question, as the user gets
  // them: Qt's own dialogs (the desktop's would speak the system's language),
  // opening where they should.
  void theDialogsOpenAsTheUserExpects() {
    test::TempDir dir;
    const QString start = Q(dir.path());
    const auto add = MakeAddDialog(nullptr, start);
    const auto folder = MakeFolderDialog(nullptr, start);
    for (QFileDialog* d : {add.get(), folder.get()}) {
      QVERIFY(d->testOption(QFileDialog::DontUseNativeDialog));
      QCOMPARE(QDir(d->directory()), QDir(start));
    }
    QCOMPARE(add->fileMode(), QFileDialog::ExistingFiles);
    QCOMPARE(add->selectedNameFilter(), QStringLiteral("Jwwファイル(*.jww *.jws)"));
    QCOMPARE(folder->fileMode(), QFileDialog::Directory);

    // A file's date and size as a Japanese desktop writes them, whatever the
    // system's language is.
    test::WriteFile(dir / "plan.jww", std::string(2048, 'x'));
    QAbstractProxyModel* shown = add->proxyModel();
    auto* files = shown ? qobject_cast<QFileSystemModel*>(shown->sourceModel()) : nullptr;
    QVERIFY(files);
    const QModelIndex plan = files->index(Q(dir / "plan.jww"));
    QTRY_COMPARE(files->size(plan), 2048);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QCOMPARE(shown->mapFromSource(plan.siblingAtColumn(1)).data().toString(),
             QStringLiteral("2.0 KB"));
    QCOMPARE(shown->mapFromSource(plan.siblingAtColumn(3)).data().toString(),
             japanese.toString(files->lastModified(plan), QStringLiteral("yyyy/MM/dd H:mm")));

    // The question before a run, every line of it, with Yes the default and
    // Esc for No. A folder's name that reads as markup is not markup.
    const QString question = QStringLiteral(
        "変換を開始します。よろしいですか？\n\n保存先フォルダ /home/user/<b>図面</b>/変換済み/ "
        "はありません。\n"
        "作成して、12件のファイルをそこに変換します。");
    const auto box = MakeQuestionBox(nullptr, question);
    box->show();
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QVERIFY(label);
    QCOMPARE(label->text(), question);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->height() >= label->heightForWidth(label->width()));
    QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
    QTest::keyClick(box.get(), Qt::Key_Escape);
    QCOMPARE(box->clickedButton(), static_cast<QAbstractButton*>(box->button(QMessageBox::No)));
  }

  // Qt's words in Japanese: the buttons of the question and of the dialogs.
  // Without the translation the program still runs, in English dialogs.
  void qtSpeaksJapanese() {
    test::TempDir empty;
    QVERIFY(!InstallQtJapanese(*QCoreApplication::instance(), Q(empty.path())));
    QCOMPARE(MakeQuestionBox(nullptr, QStringLiteral("?"))->button(QMessageBox::Yes)->text(),
             QStringLiteral("&Yes"));

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ja.qm")))
      QSKIP("Qt's Japanese translation is not installed (make deps installs it)");
    QVERIFY(InstallQtJapanese(*QCoreApplication::instance()));
    const auto box = MakeQuestionBox(nullptr, QStringLiteral("?"));
    const auto add = MakeAddDialog(nullptr, QString());
    const auto pick = MakeFolderDialog(nullptr, QString());
    const struct {
      const char* what;
      QString text, expected;
    } rows[] = {
        {"Yes", box->button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)")},
        {"No", box->button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)")},
        {"add: Open", ButtonText(*add, QDialogButtonBox::Open), QStringLiteral("開く(&O)")},
        {"add: Cancel", ButtonText(*add, QDialogButtonBox::Cancel), QStringLiteral("キャンセル")},
        {"folder: Choose", ButtonText(*pick, QDialogButtonBox::Open), QStringLiteral("選択(&C)")},
    };
    for (const auto& r : rows) QVERIFY2(r.text == r.expected, qPrintable(r.what + (": " + r.text)));
  }

  // The log's lines whole, however long: the list scrolls sideways.
  void theLogShowsLongLinesWhole() {
    Fixture fx;
    TForm2& f2 = fx.f2();
    fx.view->ShowProgressWindow();
    const QString line = QStringLiteral("変換できませんでした: ") + QString(200, QChar(u'長')) +
                         QStringLiteral(".jww (ファイルが壊れています)");
    fx.view->AppendLog(line.toStdString());
    QCOMPARE(f2.ListBox1->textElideMode(), Qt::ElideNone);
    QTRY_VERIFY(f2.ListBox1->horizontalScrollBar()->maximum() > 0);
    const QRect item = f2.ListBox1->visualItemRect(f2.ListBox1->item(0));
    QVERIFY(item.width() >= f2.ListBox1->fontMetrics().horizontalAdvance(line));
    fx.view->CloseProgressWindow();
  }

  // Where the windows were when the program closed, they are at the next
  // start: the same corner saved and restored, the frame's, so they never
  // creep (the offscreen windows have a frame of their own). A place off
  // every screen is brought onto one.
  void theWindowsReopenWhereTheyWere() {
    const QRect a = WorkArea();
    const QSize f1 = QSize(MainForm().width, MainForm().height);
    struct Row {
      const char* name;
      QPoint form1;
      QRect form2;
      QPoint expected1, expected2;
    };
    const Row rows[] = {
        {"on the screen", {300, 20}, {250, 380, 300, 200}, {300, 20}, {250, 380}},
        {"off to the right and below",
         {a.right() + 500, a.bottom() + 500},
         {a.right() + 10, 380, 300, 200},
         {a.right() + 1 - f1.width(), a.bottom() + 1 - f1.height()},
         {a.right() + 1 - 300, 380}},
        {"off to the left and above",
         {-3000, -3000},
         {-500, -20, 300, 200},
         a.topLeft(),
         a.topLeft()},
    };
    for (const Row& r : rows) {
      const Settings saved = Placed(r.form1, r.form2);
      FirstShown shown(Q(MainForm().name));
      Fixture fx({}, &saved);
      QVERIFY2(shown.pos == r.expected1, r.name);
      QVERIFY2(fx.f1().pos() == r.expected1, r.name);
      QVERIFY2(fx.f2().pos() == r.expected2, r.name);
      QCOMPARE(fx.f2().size(), r.form2.size());
      QVERIFY(QTest::qWaitForWindowExposed(&fx.f1()));
      QVERIFY2(fx.f1().pos() == r.expected1, r.name);
      fx.f2().show();
      QVERIFY(QTest::qWaitForWindowExposed(&fx.f2()));
      fx.f2().hide();
      fx.f1().Button5->click();
      const Settings back = LoadSettings(fx.platform.SettingsFile(), "");
      QVERIFY2(QPoint(back.form1Left, back.form1Top) == r.expected1, r.name);
      QVERIFY2(QRect(back.form2Left, back.form2Top, back.form2Width, back.form2Height) ==
                   QRect(r.expected2, r.form2.size()),
               r.name);
    }
  }

  // The log opens clear of the main window's status bar, which says how the
  // run went: below the main window when it would cover it.
  void theLogKeepsClearOfTheStatusBar() {
    struct Row {
      const char* name;
      QRect form2;
      bool moves;
    };
    const Row rows[] = {
        {"over the status bar", {110, 300, 300, 150}, true},
        {"over the list only", {110, 150, 300, 100}, false},
    };
    for (const Row& r : rows) {
      const Settings saved = Placed({100, 30}, r.form2);
      Fixture fx({}, &saved);
      QVERIFY(QTest::qWaitForWindowExposed(&fx.f1()));
      fx.view->ShowProgressWindow();
      QVERIFY(QTest::qWaitForWindowExposed(&fx.f2()));
      const QRect main = fx.f1().frameGeometry();
      const QRect bar(fx.f1().StatusBar1->mapToGlobal(QPoint(0, 0)), fx.f1().StatusBar1->size());
      QVERIFY2(!fx.f2().frameGeometry().intersects(bar), r.name);
      QVERIFY2(
          fx.f2().pos() == (r.moves ? QPoint(main.left(), main.bottom() + 1) : r.form2.topLeft()),
          r.name);
      fx.view->CloseProgressWindow();
    }
  }
};

}  // namespace tessaly::gui

QTEST_MAIN(tessaly::gui::QtViewTest)
#include "qt_view_test.moc"
