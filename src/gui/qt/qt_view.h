// The Qt 6 Widgets view of the window model: the main window TForm1 and the
// progress window TForm2, built from their description (app/window_form.h),
// with every control under its own object name. The windows draw widgets and
// forward the user's actions; what they do is the model's.
#pragma once

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFont>
#include <QMessageBox>
#include <QObject>
#include <QPaintEvent>
#include <QShowEvent>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_model.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace tessaly::gui {

// The modal dialogs, given to the view so that a caller that must not block
// (a test, a screenshot) answers them itself.
struct DialogHooks {
  // The files picked in the add dialog; none when it was cancelled.
  std::function<QStringList(QWidget* parent, const QString& startFolder)> openFiles;
  // The folder picked for the destination; empty when cancelled.
  std::function<QString(QWidget* parent, const QString& startFolder)> folder;
  // Yes or No.
  std::function<bool(QWidget* parent, const QString& question)> confirm;

  // The real dialogs.
  static DialogHooks Real();
};

// The add dialog's filters, as Qt writes them.
QStringList OpenDialogFilters();

// The real dialogs, made and not yet shown, so that a test or a picture sees
// them as the user does. They are Qt's own, never the desktop's: a desktop's
// dialog speaks the system's language, and these speak Japanese with
// InstallQtJapanese() whatever the system's language is.
std::unique_ptr<QFileDialog> MakeAddDialog(QWidget* parent, const QString& startFolder);
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const QString& startFolder);
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& question);

// "ＭＳ ゴシック" where the system has it, else a Japanese Gothic font of the
// system, at a size in pixels.
QFont JapaneseUiFont(int pixelSize);

class TForm1 : public QWidget {
 public:
  explicit TForm1(WindowModel& model);

  QGroupBox* GroupBox1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
  QRadioButton* RadioButton4;
  QButtonGroup* destinations;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QLabel* Label1;
  QListWidget* ListBox1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QCheckBox* CheckBox1;
  QStatusBar* StatusBar1;

  // Called once, as soon as the window is on the screen: when it is first
  // painted (by then the window manager has framed it), or a little after it
  // was shown where it is not painted (started minimised).
  std::function<void()> onScreen;
  // Called when the window has closed.
  std::function<void()> onClosed;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The selected lines go, as with 削除.
  void DeleteSelected();
  void OnScreen();

  WindowModel& model_;
  bool onScreen_ = false;
};

class TForm2 : public QWidget {
 public:
  explicit TForm2(WindowModel& model);

  QListWidget* ListBox1;
  QStatusBar* StatusBar1;
  QProgressBar* ProgressBar1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  WindowModel& model_;
};

class QtView final : public WindowView {
 public:
  QtView(WindowModel& model, DialogHooks hooks);
  ~QtView() override;
  QtView(const QtView&) = delete;
  QtView& operator=(const QtView&) = delete;

  // The start-up (the settings read, the windows placed, the command-line
  // files listed), then the main window shown; the command-line files are
  // converted once it is on the screen.
  void Start(const std::vector<std::string>& args);

  TForm1& Form1() { return form1_; }
  TForm2& Form2() { return form2_; }

  void ShowStatus(const std::string& text) override;
  void ShowLines(const std::vector<std::string>& lines) override;
  void ShowChoices() override;
  void ShowRunning(bool running) override;
  void FocusAddButton() override;
  void PlaceWindows(const Settings& settings) override;
  void ReadWindows(Settings& settings) override;
  void CloseMainWindow() override;
  void ShowProgressWindow() override;
  void AppendLog(const std::string& line) override;
  void ShowProgress(std::size_t done, std::size_t total) override;
  void CloseProgressWindow() override;
  void ProcessEvents() override;
  std::vector<std::string> AskFilesToAdd(const std::string& startFolder) override;
  std::optional<std::string> AskFolder(const std::string& startFolder) override;
  bool AskConfirm(const std::string& question) override;

 private:
  class EscFilter;

  WindowModel& model_;
  DialogHooks hooks_;
  TForm1 form1_;
  TForm2 form2_;
  EscFilter* esc_;
};

}  // namespace tessaly::gui
