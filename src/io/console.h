// The terminal the command line runs in, and the requests to stop it.
#pragma once

#include <cstddef>

namespace tessaly {

// Makes the terminal show the program's UTF-8 output as UTF-8 (nothing to do
// where it always does).
void UseUtf8Console();

// True when the user's language is Japanese: where the system says it with
// environment variables, the first of LC_ALL, LC_MESSAGES and LANG that is set
// begins with "ja" (so LANG=C or LC_ALL=C asks for English); on Windows, the
// user's language of the user interface.
bool UserLanguageIsJapanese();

// True when the error output is a terminal (progress lines are kept there).
bool ErrorOutputIsTerminal();

// The width of the terminal of the error output, or `fallback`.
std::size_t ErrorOutputColumns(std::size_t fallback);

// While one exists, Ctrl-C and a request to terminate ask a run to stop before
// its next file instead of ending the program; the file being written is
// finished, and the working folder is removed on the way out.
class StopRequests {
 public:
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  bool Requested() const;
  // The exit status that says why: 128 + the signal number (130 for Ctrl-C).
  int ExitStatus() const;
  // "interrupted" or "terminated".
  const char* Word() const;
};

}  // namespace tessaly
