#include "io/console.h"

#include <windows.h>

#include <csignal>

namespace tessaly {
namespace {

volatile LONG gSignal = 0;

// Runs on a thread of its own that the system starts; answering TRUE keeps the
// program running so that the run can stop between files, as after SIGINT.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      ::InterlockedExchange(&gSignal, SIGINT);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ::InterlockedExchange(&gSignal, SIGTERM);
      return TRUE;
    default:
      return FALSE;
  }
}

// The C library's signals, for a SIGINT raised within the program; the C
// library resets the handler before calling it.
extern "C" void OnStopSignal(int signo) {
  ::InterlockedExchange(&gSignal, signo);
  std::signal(signo, OnStopSignal);
}

using SignalHandler = void (*)(int);
SignalHandler gOldInt = SIG_DFL;
SignalHandler gOldTerm = SIG_DFL;

}  // namespace

void UseUtf8Console() {
  // The program's texts are UTF-8; the console shows them as such only when told.
  ::SetConsoleOutputCP(CP_UTF8);
}

bool UserLanguageIsJapanese() {
  return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

bool ErrorOutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::size_t ErrorOutputColumns(std::size_t fallback) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int cols = info.srWindow.Right - info.srWindow.Left + 1;
    if (cols > 10) return static_cast<std::size_t>(cols);
  }
  return fallback;
}

StopRequests::StopRequests() {
  ::InterlockedExchange(&gSignal, 0);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  gOldInt = std::signal(SIGINT, OnStopSignal);
  gOldTerm = std::signal(SIGTERM, OnStopSignal);
}

StopRequests::~StopRequests() {
  std::signal(SIGINT, gOldInt == SIG_ERR ? SIG_DFL : gOldInt);
  std::signal(SIGTERM, gOldTerm == SIG_ERR ? SIG_DFL : gOldTerm);
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

bool StopRequests::Requested() const {
  return gSignal != 0;
}

int StopRequests::ExitStatus() const {
  return 128 + (gSignal != 0 ? static_cast<int>(gSignal) : SIGINT);
}

const char* StopRequests::Word() const {
  return gSignal == SIGTERM ? "terminated" : "interrupted";
}

}  // namespace tessaly
