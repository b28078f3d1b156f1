#include "app/status_texts.h"

#include "io/path_text.h"

namespace tessaly {
namespace {

std::string Counted(std::size_t i, std::size_t n) {
  return "(" + std::to_string(i) + "/" + std::to_string(n) + ") ";
}

}  // namespace

std::string BackingUpStatus(std::size_t i, std::size_t n, const std::filesystem::path& target) {
  return "バックアップ中" + Counted(i, n) + PathToUtf8(target);
}

std::string ConvertingStatus(std::size_t i, std::size_t n, const std::filesystem::path& source) {
  return "変換中" + Counted(i, n) + PathToUtf8(source);
}

std::string FinishedStatus(std::size_t n) {
  return "変換完了(" + std::to_string(n) + ")";
}

std::string StoppedStatus() {
  return "変換を中断しました(ESC)";
}

}  // namespace tessaly
