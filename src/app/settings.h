// The settings file: window positions, the destination choice, the chosen
// folder, the folder of the add dialog and the check box, kept from one start
// of the program to the next.
//
// Thirteen plain lines, no keys, numbers in decimal and booleans as "1" and
// "0", written with CR LF and read with CR LF or LF. The values are UTF-8 in
// memory; the file is in code page 932 on Windows (the ANSI code page of a
// Japanese Windows, in which the file has always been kept there) and in UTF-8
// elsewhere, so one file moves between machines of one platform only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/window_form.h"

namespace tessaly {

// Settings conversions. The text is UTF-8.
// True for "T", "TR", "TRU", "TRUE", "1", "ON", the full-width one, the white
// circle and the two kanji for true and correct, once spaces, full-width spaces
// and control characters are removed and ASCII letters upper-cased.
bool TextToBool(std::string_view text);
std::string BoolToText(bool value);
// A whole decimal integer with an optional sign; 0 for anything else.
std::int32_t TextToInt(std::string_view text);

struct Settings {
  // Positions and sizes in screen pixels. The main window's size is fixed.
  std::int32_t form1Left = MainForm().left, form1Top = MainForm().top;
  std::int32_t form2Left = ProgressForm().left, form2Top = ProgressForm().top,
               form2Width = ProgressForm().width, form2Height = ProgressForm().height;
  Destination destination = Destination::kDesktop;
  std::string edit1;       // the chosen destination folder, as typed
  std::string openFolder;  // where the add dialog starts
  bool checkBox1 = true;   // temporary points at SXF reference points

  friend bool operator==(const Settings&, const Settings&) = default;
};

// The settings file's encoding on the system the program is built for.
enum class SettingsEncoding { kUtf8, kCp932 };
#ifdef _WIN32
inline constexpr SettingsEncoding kSettingsEncoding = SettingsEncoding::kCp932;
#else
inline constexpr SettingsEncoding kSettingsEncoding = SettingsEncoding::kUtf8;
#endif

// The file's bytes as UTF-8 text, and back. Code page 932 is converted whole
// or, when that fails, line by line with a line that does not convert left
// empty: a folder is forgotten rather than remembered as another one. Line
// ends are kept as they are.
std::string SettingsTextFromFile(std::string_view bytes, SettingsEncoding encoding);
std::string SettingsTextToFile(std::string_view text, SettingsEncoding encoding);

// The defaults, then the file's values; the defaults alone when there is no
// file or it cannot be read. `openFolder` is the add dialog's start folder
// when the file gives none.
Settings LoadSettings(const std::filesystem::path& path, const std::string& openFolder,
                      SettingsEncoding encoding = kSettingsEncoding);

// Writes all thirteen lines; `lastAddFolder` (line 12) is the folder of the
// file last picked in the add dialog, empty when none was picked. The file is
// replaced whole or not at all: on any failure the previous file stays as it
// was and no partial file is left. Answers whether it was written.
bool SaveSettings(const std::filesystem::path& path, const Settings& settings,
                  const std::string& lastAddFolder, SettingsEncoding encoding = kSettingsEncoding);

// The thirteen lines as they are written, CR LF each.
std::string SettingsText(const Settings& settings, const std::string& lastAddFolder);
// Applies a file's text to the defaults in `settings`.
void ApplySettingsText(std::string_view text, Settings& settings);

}  // namespace tessaly
