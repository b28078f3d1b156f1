#include "gui/qt/qt_view.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <string_view>

#include "app/window_form.h"

namespace tessaly::gui {
namespace {

QString Q(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
std::string S(const QString& text) {
  return text.toStdString();
}

// The widget for one control of the description, under its name.
QWidget* Make(const Form& form, const FormControl& c, QWidget* parent) {
  const QString caption = Q(c.caption);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::kGroupBox:
      w = new QGroupBox(caption, parent);
      break;
    case ControlKind::kRadioButton:
      w = new QRadioButton(caption, parent);
      break;
    case ControlKind::kEdit:
      w = new QLineEdit(caption, parent);
      break;
    case ControlKind::kButton:
      w = new QPushButton(caption, parent);
      break;
    case ControlKind::kLabel: {
      auto* label = new QLabel(caption, parent);
      // At the top of its rectangle, as Windows draws a static text.
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      w = label;
      break;
    }
    case ControlKind::kListBox: {
      auto* list = new QListWidget(parent);
      if (c.multiSelect) list->setSelectionMode(QAbstractItemView::ExtendedSelection);
      w = list;
      break;
    }
    case ControlKind::kCheckBox:
      w = new QCheckBox(caption, parent);
      break;
    case ControlKind::kStatusBar: {
      auto* bar = new QStatusBar(parent);
      bar->setSizeGripEnabled(form.resizable);
      w = bar;
      break;
    }
    case ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(parent);
      const ProgressBarState rest;
      bar->setRange(0, rest.max);
      bar->setValue(rest.value);
      bar->setFormat(QStringLiteral("%v / %m"));
      w = bar;
      break;
    }
  }
  w->setObjectName(Q(c.name));
  return w;
}

// Builds a window and its controls from their description.
void Build(QWidget& window, const Form& form) {
  window.setObjectName(Q(form.name));
  window.setWindowTitle(Q(form.caption));
  if (form.resizable) {
    window.setWindowFlags(Qt::Window);
    // Qt sizes the inside of a window (its frame is known once it is shown),
    // and the view keeps that size in the settings too.
    window.resize(form.width, form.height);
  } else {
    // A fixed border with the system menu and the minimise box only.
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
    window.setFixedSize(form.width, form.height);
  }
  window.move(form.left, form.top);
  window.setFont(JapaneseUiFont(form.fontPixels));

  QWidget* client = nullptr;
  std::vector<QWidget*> bottom;
  for (const FormControl& c : form.controls) {
    QWidget* parent = c.parent.empty() ? &window : window.findChild<QWidget*>(Q(c.parent));
    QWidget* w = Make(form, c, parent);
    if (c.fontPixels != 0) w->setFont(JapaneseUiFont(c.fontPixels));
    if (c.align == ControlAlign::kNone) {
      w->setGeometry(c.rect.x, c.rect.y, c.rect.width, c.rect.height);
    } else if (auto* bar = qobject_cast<QStatusBar*>(parent)) {
      bar->addWidget(w, 1);  // the bar lays out what it holds
    } else if (c.align == ControlAlign::kClient) {
      client = w;
    } else {
      if (c.rect.height > 0) w->setFixedHeight(c.rect.height);
      bottom.push_back(w);
    }
  }
  if (!client && bottom.empty()) return;
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (client) {
    layout->addWidget(client, 1);
  } else {
    layout->addStretch(1);
  }
  // The first control aligned to the bottom is the lowest.
  for (auto it = bottom.rbegin(); it != bottom.rend(); ++it) layout->addWidget(*it);
}

FormRect R(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

// Where windows may go: each screen less its panels and docks.
std::vector<FormRect> WorkAreas() {
  std::vector<FormRect> areas;
  // The primary screen first: a window on no screen goes there.
  if (const QScreen* primary = QGuiApplication::primaryScreen())
    areas.push_back(R(primary->availableGeometry()));
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != QGuiApplication::primaryScreen()) areas.push_back(R(screen->availableGeometry()));
  }
  return areas;
}

// The window manager's frame around a shown window; none before the window
// is first shown.
QMargins FrameMargins(const QWidget& w) {
  const QRect frame = w.frameGeometry(), inside = w.geometry();
  return {inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
          frame.bottom() - inside.bottom()};
}

// Qt writes a file's size and date in the file dialogs in the system's
// language ("8 Dec"), whatever it was told to speak; these are written as a
// Japanese desktop writes them.
class JapaneseFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    enum { kSize = 1, kDate = 3 };
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != kSize && index.column() != kDate))
      return QIdentityProxyModel::data(index, role);
    const QModelIndex file = mapToSource(index);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    if (index.column() == kDate)
      return japanese.toString(files->lastModified(file), QLocale::ShortFormat);
    if (files->isDir(file)) return QString();
    return japanese.formattedDataSize(files->size(file), 1, QLocale::DataSizeTraditionalFormat);
  }
};

// A file dialog of Qt's own, in Japanese as far as Qt's words allow, with its
// columns wide enough for what they say.
std::unique_ptr<QFileDialog> FileDialog(QWidget* parent, const QString& title,
                                        const QString& start) {
  auto dialog = std::make_unique<QFileDialog>(parent, title, start);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setProxyModel(new JapaneseFileColumns(dialog.get()));
  if (auto* details = dialog->findChild<QTreeView*>()) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
  return dialog;
}

// A control the window was built with.
template <typename W>
W* Get(QWidget& window, std::string_view name) {
  auto* w = window.findChild<W*>(Q(name));
  if (!w) qFatal("%s has no control %s", qPrintable(window.objectName()), qPrintable(Q(name)));
  return w;
}

}  // namespace

QStringList OpenDialogFilters() {
  QStringList filters;
  for (const FileFilter& f : AddDialogFilters()) {
    QStringList patterns;
    for (std::string_view p : f.patterns) patterns << Q(p);
    // Qt reads the patterns from the parentheses at the end of the text, apart
    // by spaces: the description's own list (apart by semicolons, as Windows
    // shows it) gives way to that.
    QString text = Q(f.description);
    if (text.endsWith(QLatin1Char(')')) && text.contains(QLatin1Char('(')))
      text.truncate(text.lastIndexOf(QLatin1Char('(')));
    filters << text + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

QFont JapaneseUiFont(int pixelSize) {
  static const QString family = [] {
    const QStringList preferred = {
        Q(kFormFontFace),
        QStringLiteral("MS Gothic"),
        QStringLiteral("IPAGothic"),
        QStringLiteral("IPAexGothic"),
        QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Noto Sans Mono CJK JP"),
        QStringLiteral("VL Gothic"),
        QStringLiteral("TakaoGothic"),
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

std::unique_ptr<QFileDialog> MakeAddDialog(QWidget* parent, const QString& start) {
  // No title: Qt's, 開く.
  auto dialog = FileDialog(parent, QString(), start);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  const QStringList filters = OpenDialogFilters();
  dialog->setNameFilters(filters);
  dialog->selectNameFilter(filters.value(static_cast<qsizetype>(AddDialogDefaultFilter())));
  dialog->setDefaultSuffix(QStringLiteral("jww"));
  return dialog;
}

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const QString& start) {
  auto dialog = FileDialog(parent, QStringLiteral("保存先フォルダを指定"), start);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  dialog->setFileMode(QFileDialog::Directory);
  return dialog;
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& question) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QStringLiteral("確認"), question,
                                           QMessageBox::Yes | QMessageBox::No, parent);
  // The question names folders, which may hold what reads as markup: the
  // text is shown as it is, line by line.
  box->setTextFormat(Qt::PlainText);
  box->setDefaultButton(QMessageBox::Yes);
  box->setEscapeButton(QMessageBox::No);
  return box;
}

DialogHooks DialogHooks::Real() {
  DialogHooks h;
  h.openFiles = [](QWidget* parent, const QString& start) {
    const auto dialog = MakeAddDialog(parent, start);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
  };
  h.folder = [](QWidget* parent, const QString& start) {
    const auto dialog = MakeFolderDialog(parent, start);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
  };
  h.confirm = [](QWidget* parent, const QString& question) {
    return MakeQuestionBox(parent, question)->exec() == QMessageBox::Yes;
  };
  return h;
}

TForm1::TForm1(WindowModel& model) : model_(model) {
  Build(*this, MainForm());
  setAcceptDrops(true);
  GroupBox1 = Get<QGroupBox>(*this, "GroupBox1");
  RadioButton1 = Get<QRadioButton>(*this, "RadioButton1");
  RadioButton2 = Get<QRadioButton>(*this, "RadioButton2");
  RadioButton3 = Get<QRadioButton>(*this, "RadioButton3");
  RadioButton4 = Get<QRadioButton>(*this, "RadioButton4");
  Edit1 = Get<QLineEdit>(*this, "Edit1");
  Button1 = Get<QPushButton>(*this, "Button1");
  Label1 = Get<QLabel>(*this, "Label1");
  ListBox1 = Get<QListWidget>(*this, "ListBox1");
  Button2 = Get<QPushButton>(*this, "Button2");
  Button3 = Get<QPushButton>(*this, "Button3");
  Button4 = Get<QPushButton>(*this, "Button4");
  Button5 = Get<QPushButton>(*this, "Button5");
  CheckBox1 = Get<QCheckBox>(*this, "CheckBox1");
  StatusBar1 = Get<QStatusBar>(*this, "StatusBar1");
  destinations = new QButtonGroup(this);
  for (const DestinationChoice& d : DestinationChoices())
    destinations->addButton(Get<QRadioButton>(*this, d.radioButton),
                            static_cast<int>(d.destination));

  connect(destinations, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) model_.SetDestination(static_cast<Destination>(id));
  });
  connect(Edit1, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_.SetEdit1(S(text)); });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { model_.SetCheckBox1(on); });
  connect(Button1, &QPushButton::clicked, this, [this] { model_.Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { model_.Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(Button4, &QPushButton::clicked, this, [this] { model_.Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { model_.Button5Click(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
    const int row = ListBox1->currentRow();
    model_.ListBox1DblClick(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
  });
  ListBox1->installEventFilter(this);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!onScreen_) QTimer::singleShot(500, this, [this] { OnScreen(); });
}

void TForm1::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!onScreen_) QTimer::singleShot(0, this, [this] { OnScreen(); });
}

void TForm1::OnScreen() {
  if (onScreen_) return;
  onScreen_ = true;
  if (onScreen) onScreen();
}

void TForm1::DeleteSelected() {
  std::vector<std::size_t> rows;
  for (const QModelIndex& i : ListBox1->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(i.row()));
  model_.Button3Click(rows);
}

// Delete in the list does what 削除 does; the list's own keys (Ctrl+A, the
// arrows, Shift and Ctrl with them) stay the list's.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1 && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    DeleteSelected();
    return true;
  }
  return QWidget::eventFilter(watched, event);
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
  Build(*this, ProgressForm());
  ListBox1 = Get<QListWidget>(*this, "ListBox1");
  StatusBar1 = Get<QStatusBar>(*this, "StatusBar1");
  ProgressBar1 = Get<QProgressBar>(*this, "ProgressBar1");
  // A line of the log is a path and why it failed: cut short, it would lose
  // the reason. It is shown whole, and the list scrolls sideways instead.
  ListBox1->setTextElideMode(Qt::ElideNone);
  ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  ListBox1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
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
  // Before the window is shown, so that it is placed where it was: see
  // PlaceWindows.
  model_.FormShow(args);
  // The command-line run starts once the window is on the screen and framed:
  // the log is placed by the main window's frame.
  form1_.onScreen = [this] { model_.RunCommandLine(); };
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

// The settings keep each window's place as pos() gives it: the top-left
// corner of its frame. move() takes the same only until the window is first
// shown; once it is, and until the window manager has framed it, move() places
// the inside there, and the window would creep up by its title bar at every
// start. So the windows are placed before they are shown.
//
// Their frames are not known yet: a window is kept on the screen by its
// inside, which never moves one that was whole on a screen when it closed.
void QtView::PlaceWindows(const Settings& s) {
  const std::vector<FormRect> areas = WorkAreas();
  const FormRect f1 =
      FitOnScreen({s.form1Left, s.form1Top, form1_.width(), form1_.height()}, areas);
  form1_.move(f1.x, f1.y);
  form2_.resize(s.form2Width, s.form2Height);
  const FormRect f2 =
      FitOnScreen({s.form2Left, s.form2Top, form2_.width(), form2_.height()}, areas);
  form2_.move(f2.x, f2.y);
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
  const ProgressBarState rest;
  form2_.ProgressBar1->setRange(0, rest.max);
  form2_.ProgressBar1->setValue(rest.value);
  if (!form2_.isVisible()) {
    // The log must not hide the main window's status bar, which says how the
    // run went. A log not yet shown has no frame: it will get one like the
    // main window's.
    const QRect main = form1_.frameGeometry();
    QMargins frame = FrameMargins(form2_);
    if (frame.isNull()) frame = FrameMargins(form1_);
    const QRect log(form2_.pos(), form2_.size().grownBy(frame));
    // From the status bar's top to the frame's bottom edge, its border
    // included.
    const int strip = main.bottom() + 1 - form1_.StatusBar1->mapToGlobal(QPoint(0, 0)).y();
    const FormRect to = KeepClearOf(R(log), R(main), strip, WorkAreas());
    form2_.move(to.x, to.y);
  }
  form2_.show();
  form2_.raise();
}

void QtView::AppendLog(const std::string& line) {
  form2_.ListBox1->addItem(Q(line));
  form2_.ListBox1->setCurrentRow(form2_.ListBox1->count() - 1);
}

void QtView::ShowProgress(std::size_t done, std::size_t total) {
  const ProgressBarState p = ProgressBarFor(done, total);
  form2_.ProgressBar1->setRange(0, p.max);
  form2_.ProgressBar1->setValue(p.value);
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
