// The desktop as Qt sees it: its standard folders, where the settings live,
// and its associated programs.
#pragma once

#include "app/platform_service.h"

namespace tessaly::gui {

class QtPlatform final : public PlatformService {
 public:
  std::filesystem::path DesktopFolder() override;
  std::filesystem::path DocumentsFolder() override;
  std::filesystem::path DefaultFolder() override;
  std::filesystem::path SettingsFile() override;
  bool OpenWithAssociatedProgram(const std::filesystem::path& file) override;
};

}  // namespace tessaly::gui
