// The Qt view's wiring: the real windows, found by object name, driven
// offscreen. What the model does with the actions is tested with the model.
#include "gui/qt/qt_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "app/window_model.h"
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

  explicit Fixture(std::vector<std::string> args = {}) {
    platform.root = dir.path();
    fs::create_directories(dir / "Desktop");
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
  void windowsAndControlsCarryTheirNamesAndCaptions() {
    Fixture fx;
    TForm1& f1 = fx.f1();
    QCOMPARE(f1.objectName(), QStringLiteral("TForm1"));
    QCOMPARE(f1.windowTitle(), QStringLiteral("Tessaly Ver.1.01"));
    QCOMPARE(f1.size(), QSize(436, 300));
    QCOMPARE(f1.minimumSize(), f1.maximumSize());
    QVERIFY(f1.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(f1.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(f1.pos(), QPoint(192, 107));
    const struct {
      const char* name;
      const char* property;
      QString caption;
    } controls[] = {
        {"GroupBox1", "title", QStringLiteral("保存先(&S)")},
        {"RadioButton1", "text", QStringLiteral("デスクトップ")},
        {"RadioButton2", "text", QStringLiteral("マイドキュメント")},
        {"RadioButton3", "text", QStringLiteral("元ファイルのフォルダ")},
        {"RadioButton4", "text", QStringLiteral("指定フォルダ")},
        {"Edit1", "text", QString()},
        {"Button1", "text", QStringLiteral("参照")},
        {"Label1", "text", QStringLiteral("変換元ファイル一覧")},
        {"Button2", "text", QStringLiteral("追加")},
        {"Button3", "text", QStringLiteral("削除")},
        {"Button4", "text", QStringLiteral("変換(&R)")},
        {"Button5", "text", QStringLiteral("閉じる(&X)")},
        {"CheckBox1", "text", QStringLiteral("SXF寸法図形基準点に仮点作図する")},
    };
    for (const auto& c : controls) {
      auto* w = f1.findChild<QWidget*>(QString::fromLatin1(c.name));
      QVERIFY2(w, c.name);
      QCOMPARE(w->property(c.property).toString(), c.caption);
      QVERIFY2(w->isVisible(), c.name);
    }
    QVERIFY(f1.findChild<QListWidget*>(QStringLiteral("ListBox1")) &&
            f1.findChild<QStatusBar*>(QStringLiteral("StatusBar1")));
    QVERIFY(f1.RadioButton1->isChecked() && f1.CheckBox1->isChecked());
    QCOMPARE(f1.font().pixelSize(), 13);
    QCOMPARE(f1.Button4->font().pixelSize(), 16);
    QCOMPARE(f1.Button1->font().pixelSize(), 11);
    QCOMPARE(f1.font().family(), JapaneseUiFont(13).family());
    QCOMPARE(f1.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);

    TForm2& f2 = fx.f2();
    QCOMPARE(f2.windowTitle(), QStringLiteral("変換処理"));
    QCOMPARE(f2.size(), QSize(416, 219));
    QCOMPARE(f2.pos(), QPoint(194, 107));
    QVERIFY(f2.findChild<QListWidget*>(QStringLiteral("ListBox1")) && !f2.isVisible());
    QVERIFY(f2.findChild<QStatusBar*>(QStringLiteral("StatusBar1"))
                ->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")));
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
    QCOMPARE(fx.asked.takeFirst(), QStringLiteral("変換を開始します。よろしいですか？"));
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
    QCOMPARE(f2.ListBox1->count(), 2);
    QVERIFY(f2.ListBox1->item(1)->text().startsWith(QStringLiteral("変換できませんでした: ")));
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
};

}  // namespace tessaly::gui

QTEST_MAIN(tessaly::gui::QtViewTest)
#include "qt_view_test.moc"
