#include "io/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace tessaly {
namespace {

volatile std::sig_atomic_t gSignal = 0;
struct sigaction gOldInt {};
struct sigaction gOldTerm {};
struct sigaction gOldHup {};

extern "C" void OnStopSignal(int signo) { gSignal = signo; }

}  // namespace

void UseUtf8Console() {}

bool UserLanguageIsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v[0] == 'j' && v[1] == 'a';
  }
  return false;
}

bool ErrorOutputIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

std::size_t ErrorOutputColumns(std::size_t fallback) {
  struct winsize ws {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10) return ws.ws_col;
  return fallback;
}

StopRequests::StopRequests() {
  gSignal = 0;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, &gOldInt);
  sigaction(SIGTERM, &sa, &gOldTerm);
  // The terminal closed, or the session ended: the file in hand is finished
  // first, as after SIGTERM.
  sigaction(SIGHUP, &sa, &gOldHup);
}

StopRequests::~StopRequests() {
  sigaction(SIGINT, &gOldInt, nullptr);
  sigaction(SIGTERM, &gOldTerm, nullptr);
  sigaction(SIGHUP, &gOldHup, nullptr);
}

bool StopRequests::Requested() const { return gSignal != 0; }

int StopRequests::ExitStatus() const { return 128 + (gSignal != 0 ? gSignal : SIGINT); }

const char* StopRequests::Word() const { return gSignal == SIGINT || gSignal == 0 ? "interrupted" : "terminated"; }

}  // namespace tessaly
