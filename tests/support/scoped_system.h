// Changes to the system that last for one test and are undone when it ends: a
// folder nothing may change, a small file system mounted on a folder, an
// environment variable. Each answers whether it could be made here, so that a
// test skips with the reason where it cannot.
#pragma once

#include <sys/mount.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace tessaly::test {

// A file system object that nothing may be created in, deleted from, renamed
// in or written, also by root (who ignores permission bits).
class Immutable {
 public:
  explicit Immutable(const std::filesystem::path& p) : path_(p) {
    ok_ = std::system(("chattr +i '" + p.string() + "' 2>/dev/null").c_str()) == 0;
  }
  ~Immutable() {
    if (ok_) std::system(("chattr -i '" + path_.string() + "' 2>/dev/null").c_str());
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool ok() const { return ok_; }

 private:
  std::filesystem::path path_;
  bool ok_ = false;
};

// A tmpfs of `kb` kilobytes mounted on a folder, where the system lets the test
// mount one (root on Linux).
class SmallFileSystem {
 public:
  SmallFileSystem(const std::filesystem::path& at, std::uint64_t kb) : at_(at) {
    const std::string options = "size=" + std::to_string(kb) + "k";
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = std::string("cannot mount a small file system: ") + std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount(at_.c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
  std::string why_;
};

// An environment variable set for the test, restored (or removed) afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace tessaly::test
