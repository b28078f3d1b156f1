#include "gui/qt/qt_view.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace tessaly::gui {
namespace {

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
std::string S(const QString& text) {
  return text.toStdString();
}

template <typename W>
W* Make(QWidget* parent, const char* name, const QString& caption = {}) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  if constexpr (requires { w->setText(caption); }) {
    if (!caption.isEmpty()) w->setText(caption);
  }
  return w;
}

}  // namespace

QStringList OpenDialogFilters() {
  return {QStringLiteral("Jww図面ファイル(*.jww)"), QStringLiteral("Jww図形ファイル(*.jws)"),
          QStringLiteral("Jwwファイル(*.jww *.jws)")};
}

QFont JapaneseUiFont(int pixelSize) {
  static const QString family = [] {
    const QStringList preferred = {
        QStringLiteral("ＭＳ ゴシック"),    QStringLiteral("MS Gothic"),
        QStringLiteral("IPAGothic"),        QStringLiteral("IPAexGothic"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans Mono CJK JP"),
        QStringLiteral("VL Gothic"),        QStringLiteral("TakaoGothic"),
    };
    for (const auto& f : preferred) {
      if (QFontDatabase::hasFamily(f)) return f;
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const auto& f : japanese) {
      if (f.contains(QStringLiteral("Gothic"), Qt::CaseInsensitive) ||
          f.contains(QStringLiteral("ゴシック")) || f.contains(QStringLiteral("Sans")))
        return f;
    }
    return japanese.isEmpty() ? QString() : japanese.front();
  }();
  QFont font = family.isEmpty() ? QFont() : QFont(family);
  font.setPixelSize(pixelSize);
  return font;
}

DialogHooks DialogHooks::Real() {
  DialogHooks h;
  h.openFiles = [](QWidget* parent, const QString& start) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(OpenDialogFilters());
    dialog.setDefaultSuffix(QStringLiteral("jww"));
    if (!start.isEmpty()) dialog.setDirectory(start);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
  };
  h.folder = [](QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("保存先フォルダを指定"), start);
  };
  h.confirm = [](QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("確認"), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
  };
  return h;
}

TForm1::TForm1(WindowModel& model) : model_(model) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Tessaly Ver.1.01"));
  // A fixed border with the system menu and the minimise box only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(436, 300);
  move(192, 107);
  setFont(JapaneseUiFont(13));
  setAcceptDrops(true);

  GroupBox1 = Make<QGroupBox>(this, "GroupBox1");
  GroupBox1->setTitle(QStringLiteral("保存先(&S)"));
  GroupBox1->setGeometry(8, 4, 420, 74);
  RadioButton1 = Make<QRadioButton>(GroupBox1, "RadioButton1", QStringLiteral("デスクトップ"));
  RadioButton1->setGeometry(12, 20, 110, 20);
  RadioButton2 = Make<QRadioButton>(GroupBox1, "RadioButton2", QStringLiteral("マイドキュメント"));
  RadioButton2->setGeometry(124, 20, 132, 20);
  RadioButton3 =
      Make<QRadioButton>(GroupBox1, "RadioButton3", QStringLiteral("元ファイルのフォルダ"));
  RadioButton3->setGeometry(258, 20, 156, 20);
  RadioButton4 = Make<QRadioButton>(GroupBox1, "RadioButton4", QStringLiteral("指定フォルダ"));
  RadioButton4->setGeometry(12, 46, 110, 20);
  Edit1 = Make<QLineEdit>(GroupBox1, "Edit1");
  Edit1->setGeometry(124, 45, 236, 22);
  Button1 = Make<QPushButton>(GroupBox1, "Button1", QStringLiteral("参照"));
  Button1->setGeometry(364, 45, 48, 22);
  Button1->setFont(JapaneseUiFont(11));
  destinations = new QButtonGroup(this);
  destinations->addButton(RadioButton1, 1);
  destinations->addButton(RadioButton2, 2);
  destinations->addButton(RadioButton3, 3);
  destinations->addButton(RadioButton4, 4);

  CheckBox1 = Make<QCheckBox>(this, "CheckBox1", QStringLiteral("SXF寸法図形基準点に仮点作図する"));
  CheckBox1->setGeometry(12, 82, 300, 20);
  Label1 = Make<QLabel>(this, "Label1", QStringLiteral("変換元ファイル一覧"));
  Label1->setGeometry(10, 104, 200, 18);
  ListBox1 = Make<QListWidget>(this, "ListBox1");
  ListBox1->setGeometry(8, 122, 332, 150);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Button2 = Make<QPushButton>(this, "Button2", QStringLiteral("追加"));
  Button2->setGeometry(348, 122, 80, 26);
  Button3 = Make<QPushButton>(this, "Button3", QStringLiteral("削除"));
  Button3->setGeometry(348, 152, 80, 26);
  Button4 = Make<QPushButton>(this, "Button4", QStringLiteral("変換(&R)"));
  Button4->setGeometry(348, 196, 80, 40);
  Button4->setFont(JapaneseUiFont(16));
  Button5 = Make<QPushButton>(this, "Button5", QStringLiteral("閉じる(&X)"));
  Button5->setGeometry(348, 246, 80, 26);
  StatusBar1 = Make<QStatusBar>(this, "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 278, 436, 22);

  connect(destinations, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) model_.SetDestination(static_cast<Destination>(id));
  });
  connect(Edit1, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_.SetEdit1(S(text)); });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { model_.SetCheckBox1(on); });
  connect(Button1, &QPushButton::clicked, this, [this] { model_.Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { model_.Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] {
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : ListBox1->selectionModel()->selectedRows())
      rows.push_back(static_cast<std::size_t>(i.row()));
    model_.Button3Click(rows);
  });
  connect(Button4, &QPushButton::clicked, this, [this] { model_.Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { model_.Button5Click(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
    const int row = ListBox1->currentRow();
    model_.ListBox1DblClick(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
  });
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) {
    shown_ = true;
    if (onFirstShow) onFirstShow();
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!model_.FormCloseQuery()) {
    event->ignore();
    return;
  }
  model_.FormClose();
  event->accept();
  if (onClosed) onClosed();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (model_.AcceptsDrops() && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  if (model_.AcceptsDrops()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm1::dropEvent(QDropEvent* event) {
  if (!model_.AcceptsDrops()) {
    event->ignore();
    return;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
  }
  model_.DropFiles(paths);
  event->acceptProposedAction();
}

TForm2::TForm2(WindowModel& model) : model_(model) {
  setObjectName(QStringLiteral("TForm2"));
  setWindowTitle(QStringLiteral("変換処理"));
  setWindowFlags(Qt::Window);
  setFont(JapaneseUiFont(13));
  move(194, 107);
  resize(416, 219);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  ListBox1 = Make<QListWidget>(this, "ListBox1");
  StatusBar1 = Make<QStatusBar>(this, "StatusBar1");
  ProgressBar1 = Make<QProgressBar>(StatusBar1, "ProgressBar1");
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  ProgressBar1->setFormat(QStringLiteral("%v / %m"));
  StatusBar1->addWidget(ProgressBar1, 1);
  layout->addWidget(ListBox1, 1);
  layout->addWidget(StatusBar1);
}

void TForm2::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  model_.ProgressWindowClosed();
}

// Esc counts when it is pressed at any moment of a run, in either window.
class QtView::EscFilter : public QObject {
 public:
  explicit EscFilter(WindowModel& model) : model_(model) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && model_.Converting() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      model_.EscPressed();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  WindowModel& model_;
};

QtView::QtView(WindowModel& model, DialogHooks hooks)
    : model_(model),
      hooks_(std::move(hooks)),
      form1_(model),
      form2_(model),
      esc_(new EscFilter(model)) {
  model_.Attach(*this);
  QCoreApplication::instance()->installEventFilter(esc_);
  // The program ends with the main window; the log goes with it.
  form1_.onClosed = [this] { form2_.hide(); };
}

QtView::~QtView() {
  QCoreApplication::instance()->removeEventFilter(esc_);
  delete esc_;
}

void QtView::Start(const std::vector<std::string>& args) {
  form1_.onFirstShow = [this, args] {
    model_.FormShow(args);
    // The command-line run starts once the window is on the screen.
    QTimer::singleShot(0, &form1_, [this] { model_.RunCommandLine(); });
  };
  form1_.show();
}

void QtView::ShowStatus(const std::string& text) {
  form1_.StatusBar1->showMessage(Q(text));
  form1_.StatusBar1->repaint();
}

void QtView::ShowLines(const std::vector<std::string>& lines) {
  form1_.ListBox1->clear();
  for (const auto& l : lines) form1_.ListBox1->addItem(Q(l));
}

void QtView::ShowChoices() {
  {
    // No button checked is a state of its own; an exclusive group refuses it.
    const QSignalBlocker blocker(form1_.destinations);
    const int id = static_cast<int>(model_.GetDestination());
    form1_.destinations->setExclusive(false);
    for (QAbstractButton* b : form1_.destinations->buttons())
      b->setChecked(form1_.destinations->id(b) == id);
    form1_.destinations->setExclusive(true);
  }
  const QSignalBlocker edit(form1_.Edit1);
  form1_.Edit1->setText(Q(model_.Edit1()));
  const QSignalBlocker check(form1_.CheckBox1);
  form1_.CheckBox1->setChecked(model_.CheckBox1());
}

void QtView::ShowRunning(bool running) {
  form1_.Button2->setEnabled(!running);
  form1_.Button3->setEnabled(!running);
  form1_.Button4->setEnabled(!running);
}

void QtView::FocusAddButton() {
  form1_.Button2->setFocus(Qt::OtherFocusReason);
}

void QtView::PlaceWindows(const Settings& s) {
  form1_.move(s.form1Left, s.form1Top);
  form2_.move(s.form2Left, s.form2Top);
  form2_.resize(s.form2Width, s.form2Height);
}

void QtView::ReadWindows(Settings& s) {
  s.form1Left = form1_.x();
  s.form1Top = form1_.y();
  s.form2Left = form2_.x();
  s.form2Top = form2_.y();
  s.form2Width = form2_.width();
  s.form2Height = form2_.height();
}

void QtView::CloseMainWindow() {
  form1_.close();
}

void QtView::ShowProgressWindow() {
  form2_.ListBox1->clear();
  form2_.ProgressBar1->setRange(0, 1);
  form2_.ProgressBar1->setValue(0);
  form2_.show();
  form2_.raise();
}

void QtView::AppendLog(const std::string& line) {
  form2_.ListBox1->addItem(Q(line));
  form2_.ListBox1->setCurrentRow(form2_.ListBox1->count() - 1);
}

void QtView::ShowProgress(std::size_t done, std::size_t total) {
  // A range of 0 to 0 would show a busy bar rather than an empty list's end.
  const int max = static_cast<int>(std::max<std::size_t>(total, 1));
  form2_.ProgressBar1->setRange(0, max);
  form2_.ProgressBar1->setValue(static_cast<int>(total == 0 ? 1 : done));
}

void QtView::CloseProgressWindow() {
  form2_.hide();
}

void QtView::ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::vector<std::string> QtView::AskFilesToAdd(const std::string& startFolder) {
  std::vector<std::string> files;
  for (const QString& f : hooks_.openFiles(&form1_, Q(startFolder))) files.push_back(S(f));
  return files;
}

std::optional<std::string> QtView::AskFolder(const std::string& startFolder) {
  const QString folder = hooks_.folder(&form1_, Q(startFolder));
  if (folder.isEmpty()) return std::nullopt;
  return S(folder);
}

bool QtView::AskConfirm(const std::string& question) {
  return hooks_.confirm(&form1_, Q(question));
}

}  // namespace tessaly::gui
