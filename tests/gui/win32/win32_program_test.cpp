// The program's face on Windows: the version and the icon that Explorer reads
// from the real tessaly.exe and tessaly-cli.exe, and the icon and caption its
// windows show. This test program carries tessaly.exe's own resources, so its
// windows are the program's.
// clang-format off
#include <windows.h>  // before the other system headers, which build on it
// clang-format on
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/window_model.h"
#include "gui/win32/win32_platform.h"
#include "gui/win32/win32_view.h"
#include "io/path_text.h"
#include "support/project_version.h"
#include "support/temp_dir.h"
#include "icon_width.h"

namespace tessaly::gui {
namespace {
namespace fs = std::filesystem;

std::string U(const std::wstring& w) {
  return PathToUtf8(fs::path(w));
}

// A file built beside this program, by its path relative to it.
fs::path Built(const char* relative) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path() / PathFromUtf8(relative);
}

// A program's version block, as Explorer's Details tab reads it.
class VersionBlock {
 public:
  explicit VersionBlock(const fs::path& file) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return;
    data_.resize(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data_.data())) data_.clear();
  }
  bool Found() const { return !data_.empty(); }
  const VS_FIXEDFILEINFO* Fixed() const {
    return static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\"));
  }
  // The first (and only) language and code page.
  std::pair<WORD, WORD> Translation() const {
    const auto* pair = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation"));
    return pair ? std::pair{pair[0], pair[1]} : std::pair<WORD, WORD>{0, 0};
  }
  std::string Text(const wchar_t* name) const {
    const auto* text =
        static_cast<const wchar_t*>(Query(std::wstring(L"\\StringFileInfo\\041104B0\\") + name));
    return text ? U(text) : "(missing)";
  }

 private:
  const void* Query(const std::wstring& key) const {
    void* value = nullptr;
    UINT length = 0;
    if (data_.empty() || !::VerQueryValueW(data_.data(), key.c_str(), &value, &length) ||
        length == 0)
      return nullptr;
    return value;
  }
  std::vector<char> data_;
};

// A program's resources, loaded as data (nothing of it runs).
class Resources {
 public:
  explicit Resources(const fs::path& file)
      : module_(::LoadLibraryExW(file.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~Resources() {
    if (module_) ::FreeLibrary(module_);
  }
  Resources(const Resources&) = delete;
  Resources& operator=(const Resources&) = delete;
  bool Loaded() const { return module_ != nullptr; }

  // The icon group Explorer shows: the first in the file. 0 when it has a name.
  int FirstIconGroup() const {
    int first = -1;
    ::EnumResourceNamesW(
        module_, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
          *reinterpret_cast<int*>(found) =
              IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : 0;
          return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    return first;
  }
  // The widths of the images of an icon group (a width of 0 stands for 256).
  std::set<int> IconSizes(int group) const {
    std::set<int> sizes;
    const auto* dir = static_cast<const BYTE*>(Data(MAKEINTRESOURCEW(group), RT_GROUP_ICON));
    if (!dir) return sizes;
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    for (WORD i = 0; i < count; ++i) {
      const BYTE width = dir[6 + 14 * i];
      sizes.insert(width == 0 ? 256 : width);
    }
    return sizes;
  }
  std::string Manifest() const {
    const auto* text = static_cast<const char*>(Data(MAKEINTRESOURCEW(1), RT_MANIFEST));
    return text ? std::string(text, size_) : "";
  }

 private:
  const void* Data(LPCWSTR name, LPCWSTR type) const {
    HRSRC found = module_ ? ::FindResourceW(module_, name, type) : nullptr;
    HGLOBAL loaded = found ? ::LoadResource(module_, found) : nullptr;
    size_ = found ? ::SizeofResource(module_, found) : 0;
    return loaded ? ::LockResource(loaded) : nullptr;
  }
  HMODULE module_;
  mutable DWORD size_ = 0;
};

// Both programs carry the project's version in Japanese, and the program's own
// icon at every size as their first; the window program's manifest names the
// version too.
TEST(Win32Program, TheProgramsCarryTheVersionAndTheIcon) {
  const test::ProjectVersion v = test::Project();
  const struct {
    const char* file;  // relative to this test program
    const char* name;
    const char* description;
    bool manifest;
  } programs[] = {
      {TESSALY_GUI_EXE, "tessaly.exe", "Tessaly 寸法図形の分解変換", true},
      {TESSALY_CLI_EXE, "tessaly-cli.exe", "Tessaly 寸法図形の分解変換 (コマンドライン)", false},
  };
  for (const auto& p : programs) {
    SCOPED_TRACE(p.name);
    const fs::path file = Built(p.file);
    ASSERT_TRUE(fs::exists(file)) << file;
    const VersionBlock block(file);
    ASSERT_TRUE(block.Found()) << "no version block";
    const VS_FIXEDFILEINFO* fixed = block.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(v.minor, v.major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, v.patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(block.Translation(), (std::pair<WORD, WORD>{0x0411, 1200}));
    const struct {
      const wchar_t* key;
      std::string expected;
    } texts[] = {
        {L"CompanyName", "Tessaly"},
        {L"ProductName", "Tessaly"},
        {L"FileDescription", p.description},
        {L"FileVersion", v.text},
        {L"ProductVersion", v.text},
        {L"OriginalFilename", p.name},
        {L"InternalName", p.name},
        {L"LegalCopyright", "Copyright (c) 2026 the Tessaly developers. MIT License."},
    };
    for (const auto& t : texts) EXPECT_EQ(block.Text(t.key), t.expected) << U(t.key);

    const Resources resources(file);
    ASSERT_TRUE(resources.Loaded());
    EXPECT_EQ(resources.FirstIconGroup(), 1);
    EXPECT_EQ(resources.IconSizes(1), (std::set<int>{16, 24, 32, 48, 64, 128, 256}));
    const std::string identity = "name=\"Tessaly\" version=\"" + v.text + ".0\"";
    if (p.manifest) {
      EXPECT_NE(resources.Manifest().find(identity), std::string::npos) << resources.Manifest();
    }
  }
}

// A setting of the manifest this program carries, tessaly.exe's, as the
// system reads it: a namespace written wrong would leave it unread.
std::string ManifestSetting(const wchar_t* ns, const wchar_t* name) {
  wchar_t value[128] = {};
  SIZE_T written = 0;
  if (!::QueryActCtxSettingsW(0, nullptr, ns, name, value, std::size(value), &written))
    return "(none)";
  return U(value);
}

// The windows draw themselves at the scale of the monitor they are on, so
// that the system never stretches them into a blur; paths may be long.
TEST(Win32Program, TheManifestAsksForEachMonitorsScale) {
  const wchar_t* const k2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
  const wchar_t* const k2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
  EXPECT_EQ(ManifestSetting(k2016, L"dpiAwareness"), "PerMonitorV2, PerMonitor");
  EXPECT_EQ(ManifestSetting(k2005, L"dpiAware"), "true/pm");
  EXPECT_EQ(ManifestSetting(k2016, L"longPathAware"), "true");
  // And the system took it so, where it says (Windows 10 1607 on).
  using Context = HANDLE(WINAPI*)();
  using Awareness = int(WINAPI*)(HANDLE);
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto context = reinterpret_cast<Context>(
      reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<Awareness>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  if (!context || !awareness) GTEST_SKIP() << "no scale per monitor on this system";
  EXPECT_EQ(awareness(context()), 2);  // DPI_AWARENESS_PER_MONITOR_AWARE
}

// Both windows show the program's icon, loaded at the sizes the system asks
// for, not the system's icon for any program; the main window's caption shows
// the project's version.
TEST(Win32Program, TheWindowsShowTheProgramsIconAndVersion) {
  test::TempDir dir;
  Win32Platform platform(dir.path() / "tessaly.exe");
  WindowModel model(platform);
  {
    Win32View view(model, DialogHooks{});
    const HINSTANCE self = ::GetModuleHandleW(nullptr);
    const auto own = [&](int cx, int cy) {
      return static_cast<HICON>(::LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             ::GetSystemMetrics(cx), ::GetSystemMetrics(cy),
                                             LR_SHARED));
    };
    const HICON system = ::LoadIconW(nullptr, IDI_APPLICATION);
    const struct {
      const char* name;
      HWND window;
    } windows[] = {{"TForm1", view.Form1().Handle}, {"TForm2", view.Form2().Handle}};
    for (const auto& w : windows) {
      SCOPED_TRACE(w.name);
      const auto big = reinterpret_cast<HICON>(::GetClassLongPtrW(w.window, GCLP_HICON));
      const auto small = reinterpret_cast<HICON>(::GetClassLongPtrW(w.window, GCLP_HICONSM));
      ASSERT_NE(big, nullptr);
      ASSERT_NE(small, nullptr);
      EXPECT_NE(big, system);
      EXPECT_NE(small, system);
      EXPECT_EQ(big, own(SM_CXICON, SM_CYICON));
      EXPECT_EQ(small, own(SM_CXSMICON, SM_CYSMICON));
      EXPECT_EQ(test::IconWidth(big), ::GetSystemMetrics(SM_CXICON));
      EXPECT_EQ(test::IconWidth(small), ::GetSystemMetrics(SM_CXSMICON));
    }
    wchar_t caption[64] = {};
    ::GetWindowTextW(view.Form1().Handle, caption, 64);
    EXPECT_EQ(U(caption), test::ExpectedCaption());
  }
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

}  // namespace
}  // namespace tessaly::gui
