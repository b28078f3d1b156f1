// The desktop as Windows names it: the shell's known folders, the settings file
// beside the program and the shell's associated programs.
#pragma once

#include <windows.h>

#include <filesystem>

#include "app/platform_service.h"

namespace tessaly::gui {

// The running program's full path, however long.
std::filesystem::path ExecutablePath();

class Win32Platform : public PlatformService {
 public:
  // `executable` is the program's full path: its folder is where the dialogs
  // start, and the settings file is named after it.
  explicit Win32Platform(std::filesystem::path executable);

  // The window that owns what the shell shows when it opens a file.
  void SetOwner(HWND owner) { owner_ = owner; }

  std::filesystem::path DesktopFolder() override;
  std::filesystem::path DocumentsFolder() override;
  std::filesystem::path DefaultFolder() override;
  std::filesystem::path SettingsFile() override;
  bool OpenWithAssociatedProgram(const std::filesystem::path& file) override;

 private:
  std::filesystem::path executable_;
  HWND owner_ = nullptr;
};

}  // namespace tessaly::gui
