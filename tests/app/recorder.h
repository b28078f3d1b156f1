// A front end for the conversion run that records what the run tells it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/convert.h"

namespace tessaly::test {

// Records what the run tells its front end, in order.
struct Recorder : ConvertFrontEnd {
  std::vector<std::string> events;
  std::vector<FileResult> results;
  std::function<bool()> stop;
  std::function<void(const FileResult&)> finished;
  std::function<void()> pump;

  void ShowStatus(const std::string& text) override { events.push_back("status " + text); }
  void FileStarted(const std::filesystem::path& source, std::size_t position,
                   std::size_t count) override {
    events.push_back("log " + source.string() + " " + std::to_string(position) + "/" +
                     std::to_string(count));
  }
  void FileFinished(const FileResult& r) override {
    results.push_back(r);
    events.push_back("result " + r.source.string());
    if (finished) finished(r);
  }
  bool StopRequested() override { return stop && stop(); }
  void ProcessEvents() override {
    if (pump) pump();
  }
};

}  // namespace tessaly::test
