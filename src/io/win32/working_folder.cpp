#include "io/working_folder.h"

#include <windows.h>

#include <system_error>

#include "io/leftovers.h"
#include "io/path_text.h"
#include "io/raw_file.h"
#include "io/win32/system_text.h"

namespace tessaly {
namespace fs = std::filesystem;

bool WorkingFolder::Create(Message& error) {
  Remove();
  // The user's own temporary folder (%TMP%, %TEMP% or the profile's), which
  // other users cannot read.
  wchar_t buf[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buf);
  if (n == 0 || n > MAX_PATH + 1) {
    error = Message("cannot find the temporary folder: {system}").Set("system", win32::LastErrorText());
    return false;
  }
  const fs::path base(std::wstring(buf, n));
  // What runs that were killed left there goes first.
  RemoveLeftWorkingFolders(base);
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[48];
    ::swprintf(name, 48, L"tessaly-%lu-%08x", static_cast<unsigned long>(::GetCurrentProcessId()),
               static_cast<unsigned>(raw::UniqueNumber()));
    const fs::path p = base / name;
    if (::CreateDirectoryW(p.c_str(), nullptr)) {
      path_ = p;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      error = Message("cannot create a working folder in {folder}: {system}")
                  .Set("folder", PathToUtf8(base))
                  .Set("system", win32::LastErrorText());
      return false;
    }
  }
  error = Message("cannot create a working folder in {folder}").Set("folder", PathToUtf8(base));
  return false;
}

}  // namespace tessaly
