#include "app/window_form.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

#include "app/version.h"

namespace tessaly {
namespace {

using enum ControlKind;
using enum ControlAlign;
constexpr int kWindowFont = 0;
constexpr bool kMultiSelect = true;

// Name, kind, caption, rectangle (x, y, width, height) in the parent, parent,
// font, alignment, multiple selection.
constexpr FormControl kForm1Controls[] = {
    {"GroupBox1", kGroupBox, "保存先(&S)", {8, 4, 420, 74}},
    {"RadioButton1", kRadioButton, "デスクトップ", {12, 20, 110, 20}, "GroupBox1"},
    {"RadioButton2", kRadioButton, "マイドキュメント", {124, 20, 132, 20}, "GroupBox1"},
    {"RadioButton3", kRadioButton, "元ファイルのフォルダ", {258, 20, 156, 20}, "GroupBox1"},
    {"RadioButton4", kRadioButton, "指定フォルダ", {12, 46, 110, 20}, "GroupBox1"},
    {"Edit1", kEdit, "", {124, 45, 236, 22}, "GroupBox1"},
    {"Button1", kButton, "参照", {364, 45, 48, 22}, "GroupBox1", 11},
    {"CheckBox1", kCheckBox, "SXF寸法図形基準点に仮点作図する", {12, 82, 300, 20}},
    {"Label1", kLabel, "変換元ファイル一覧", {10, 106, 200, 16}},
    {"ListBox1", kListBox, "", {8, 122, 332, 150}, "", kWindowFont, kNone, kMultiSelect},
    {"Button2", kButton, "追加", {348, 122, 80, 26}},
    {"Button3", kButton, "削除", {348, 152, 80, 26}},
    {"Button4", kButton, "変換(&R)", {348, 196, 80, 40}, "", 16},
    {"Button5", kButton, "閉じる(&X)", {348, 246, 80, 26}},
    {"StatusBar1", kStatusBar, "", {0, 278, 436, 22}, "", kWindowFont, kBottom},
};

constexpr FormControl kForm2Controls[] = {
    {"ListBox1", kListBox, "", {}, "", kWindowFont, kClient},
    {"StatusBar1", kStatusBar, "", {}, "", kWindowFont, kBottom},
    {"ProgressBar1", kProgressBar, "", {}, "StatusBar1", kWindowFont, kClient},
};

constexpr Form kForm1{
    .name = "TForm1",
    .caption = TESSALY_CAPTION,
    .left = 192,
    .top = 107,
    .width = 436,
    .height = 300,
    .resizable = false,
    .fontPixels = 13,
    .controls = kForm1Controls,
};

constexpr Form kForm2{
    .name = "TForm2",
    .caption = "変換処理",
    .left = 194,
    .top = 107,
    .width = 416,
    .height = 219,
    .resizable = true,
    .fontPixels = 13,
    .controls = kForm2Controls,
};

constexpr DestinationChoice kDestinations[] = {
    {"RadioButton1", Destination::kDesktop},
    {"RadioButton2", Destination::kDocuments},
    {"RadioButton3", Destination::kSourceFolder},
    {"RadioButton4", Destination::kChosenFolder},
};

constexpr std::string_view kJww[] = {"*.jww"};
constexpr std::string_view kJws[] = {"*.jws"};
constexpr std::string_view kBoth[] = {"*.jww", "*.jws"};
constexpr FileFilter kFilters[] = {
    {"Jww図面ファイル(*.jww)", kJww},
    {"Jww図形ファイル(*.jws)", kJws},
    {"Jwwファイル(*.jww;*.jws)", kBoth},
};

}  // namespace

std::size_t Form::IndexOf(std::string_view control) const {
  const auto it = std::find_if(controls.begin(), controls.end(),
                               [&](const FormControl& c) { return c.name == control; });
  if (it == controls.end())
    throw std::out_of_range(std::string(name) + " has no control " + std::string(control));
  return static_cast<std::size_t>(it - controls.begin());
}

FormRect Form::InWindow(const FormControl& control) const {
  FormRect r = control.rect;
  for (std::string_view p = control.parent; !p.empty();) {
    const FormControl& parent = Control(p);
    r.x += parent.rect.x;
    r.y += parent.rect.y;
    p = parent.parent;
  }
  return r;
}

const Form& MainForm() {
  return kForm1;
}

const Form& ProgressForm() {
  return kForm2;
}

std::span<const DestinationChoice> DestinationChoices() {
  return kDestinations;
}

std::size_t AddDialogDefaultFilter() {
  return 2;
}

namespace {

long long Overlap(const FormRect& a, const FormRect& b) {
  const long long w = std::min<long long>(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
  const long long h = std::min<long long>(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

bool Inside(const FormRect& w, const FormRect& area) {
  return w.x >= area.x && w.y >= area.y && w.x + w.width <= area.x + area.width &&
         w.y + w.height <= area.y + area.height;
}

bool OnScreen(const FormRect& w, std::span<const FormRect> areas) {
  for (const auto& a : areas) {
    if (Inside(w, a)) return true;
  }
  return false;
}

}  // namespace

FormRect FitOnScreen(FormRect w, std::span<const FormRect> areas) {
  if (areas.empty() || OnScreen(w, areas)) return w;
  const FormRect* best = &areas.front();
  long long most = 0;
  for (const auto& a : areas) {
    if (const long long o = Overlap(w, a); o > most) {
      most = o;
      best = &a;
    }
  }
  const FormRect& a = *best;
  w.x = std::max(a.x, std::min(w.x, a.x + a.width - w.width));
  w.y = std::max(a.y, std::min(w.y, a.y + a.height - w.height));
  return w;
}

FormRect KeepClearOf(FormRect w, FormRect main, int strip, std::span<const FormRect> areas) {
  const FormRect bar{main.x, main.y + main.height - strip, main.width, strip};
  if (Overlap(w, bar) == 0) return w;
  const FormRect below{main.x, main.y + main.height, w.width, w.height};
  if (areas.empty() || OnScreen(below, areas)) return below;
  const FormRect beside{main.x + main.width, main.y, w.width, w.height};
  if (OnScreen(beside, areas)) return beside;
  return w;
}

std::span<const FileFilter> AddDialogFilters() {
  return kFilters;
}

ProgressBarState ProgressBarFor(std::size_t done, std::size_t total) {
  // The toolkits count in int; no list is that long, but a wrapped count would
  // run the bar backwards.
  const auto clamp = [](std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
  };
  if (total == 0) return {1, 1};
  return {clamp(total), clamp(std::min(done, total))};
}

}  // namespace tessaly
