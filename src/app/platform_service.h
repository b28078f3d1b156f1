// What the window model needs of the desktop it runs on. Each view brings its
// own (the Qt view one for Linux and other systems, the native view one for
// Windows); tests bring a fake.
#pragma once

#include <filesystem>

namespace tessaly {

class PlatformService {
 public:
  virtual ~PlatformService() = default;

  // The user's Desktop and Documents folders as the desktop names them; empty
  // when it names none. They need not exist.
  virtual std::filesystem::path DesktopFolder() = 0;
  virtual std::filesystem::path DocumentsFolder() = 0;
  // Where the add and browse dialogs start when nothing better is known.
  virtual std::filesystem::path DefaultFolder() = 0;
  // Where the settings file lives.
  virtual std::filesystem::path SettingsFile() = 0;
  // Opens a file with the program the desktop associates with it; false when
  // that could not be done.
  virtual bool OpenWithAssociatedProgram(const std::filesystem::path& file) = 0;
};

}  // namespace tessaly
