#include "support/temp_dir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessaly::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  // $TMPDIR or /tmp here, the user's temporary folder on Windows.
  std::string templ = (fs::temp_directory_path() / "tessaly-test-XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write permission that a test took away, so that everything goes.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
  ::chmod(path_.c_str(), 0700);
  fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + p.string());
}

std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::pair<std::string, std::string>> Snapshot(const fs::path& dir) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) out.emplace_back(fs::relative(e.path(), dir).generic_string(), ReadFile(e.path()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

fs::path CorpusDir() {
  fs::path p = TESSALY_CORPUS_DIR;
  std::error_code ec;
  return fs::is_directory(p, ec) ? p : fs::path();
}

std::vector<fs::path> CorpusFiles(std::string_view sub) {
  std::vector<fs::path> out;
  fs::path dir = CorpusDir();
  if (dir.empty()) return out;
  for (const auto& e : fs::directory_iterator(dir / sub)) {
    if (e.is_regular_file()) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace tessaly::test
