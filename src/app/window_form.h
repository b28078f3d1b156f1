// The two windows as their user sees them, said once for both views: the main
// window TForm1 and the progress window TForm2, each control with its name,
// kind, caption, place, font and parent, the add dialog's filters, which radio
// button chooses which destination, and how the progress bar counts. The views
// build their widgets by walking this and keep only what their toolkit needs.
//
// Places and sizes are logical pixels at 96 DPI, so that a screen of another
// density can scale them; captions are UTF-8, "&" before the letter that Alt
// goes with.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace tessaly {

// The destination choice: which of the four radio buttons is selected. The
// numbers are those of the buttons, as the settings file keeps them.
enum class Destination {
  kNone = 0,     // no button selected: the run takes it as the chosen folder
  kDesktop = 1,  // RadioButton1
  kDocuments = 2,
  kSourceFolder = 3,
  kChosenFolder = 4,  // the folder in Edit1
};

enum class ControlKind {
  kGroupBox,
  kRadioButton,
  kEdit,
  kButton,
  kLabel,
  kListBox,
  kCheckBox,
  kStatusBar,
  kProgressBar,
};

// Where a control stays as its window changes size. One aligned to the bottom
// spans the width at the height of its rectangle (0: the height the toolkit
// gives it); one aligned to the client area fills what the others leave. Their
// x, y and width follow the window.
enum class ControlAlign { kNone, kBottom, kClient };

struct FormRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const FormRect&, const FormRect&) = default;
};

struct FormControl {
  std::string_view name{};
  ControlKind kind{};
  std::string_view caption{};
  // Relative to the parent's top-left corner.
  FormRect rect{};
  // Empty: the window. A group box holds radio buttons and what goes with
  // them; a status bar may hold a progress bar.
  std::string_view parent{};
  int fontPixels = 0;  // 0: the window's
  ControlAlign align = ControlAlign::kNone;
  bool multiSelect = false;  // a list whose lines are picked with Shift and Ctrl too
};

struct Form {
  std::string_view name{};  // also the window's class on Windows
  std::string_view caption{};
  // Where the window's top-left corner is when the settings say nothing.
  int left = 0, top = 0;
  // The size of the inside of a fixed window, of the whole of a resizable one
  // (as the settings keep it).
  int width = 0, height = 0;
  bool resizable = false;
  int fontPixels = 0;  // the characters' height
  // In the order of the Tab key; a parent comes before what it holds.
  std::span<const FormControl> controls{};

  // Throws std::out_of_range for a name the window does not have.
  std::size_t IndexOf(std::string_view control) const;
  const FormControl& Control(std::string_view name) const { return controls[IndexOf(name)]; }
  // The control's rectangle relative to the window's inside.
  FormRect InWindow(const FormControl& control) const;
};

// Both windows use this face; a system without it shows a Japanese Gothic
// face of its own.
inline constexpr std::string_view kFormFontFace = "ＭＳ ゴシック";

const Form& MainForm();      // TForm1
const Form& ProgressForm();  // TForm2

struct DestinationChoice {
  std::string_view radioButton;  // of TForm1
  Destination destination;
};
std::span<const DestinationChoice> DestinationChoices();

// The add dialog's filters. A description may show its patterns already.
struct FileFilter {
  std::string_view description{};
  std::span<const std::string_view> patterns{};
};
std::span<const FileFilter> AddDialogFilters();
// The filter chosen when the dialog opens: the one that shows drawings and
// figures alike.
std::size_t AddDialogDefaultFilter();

// A window's place on the screen, in the screen's pixels: where a saved one
// would be off every monitor's work area (a monitor gone, another scale), it
// is moved onto the area it overlaps most (the first, the primary one, when it
// overlaps none): whole where it fits, its top-left corner inside where not.
FormRect FitOnScreen(FormRect window, std::span<const FormRect> workAreas);

// The progress window's place as it opens: when it would cover the bottom
// `strip` pixels of the main window (its status bar), it goes just below the
// main window, or beside it on the right, where that is on the screen;
// otherwise it stays.
FormRect KeepClearOf(FormRect window, FormRect main, int strip, std::span<const FormRect> workAreas);

// TForm2's progress bar, from 0 to `max`; as it is made and before a run's
// first file, none done of one.
struct ProgressBarState {
  int max = 1, value = 0;
  friend bool operator==(const ProgressBarState&, const ProgressBarState&) = default;
};
// Files done of the files listed. A run of no files shows a full bar: a range
// of nothing would show a busy bar, or one that never fills.
ProgressBarState ProgressBarFor(std::size_t done, std::size_t total);

}  // namespace tessaly
