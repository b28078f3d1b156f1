// Programs run as processes of their own, for the tests of the real binary
// (POSIX only).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace tessaly::test {

// Starts a program with TMPDIR set, its output and errors going to `log`;
// answers -1 when it cannot be started. The language is English unless
// `language` names another (the environment's own is set aside, so that the
// tests say the same wherever they run).
inline pid_t Start(const std::vector<std::string>& args, const std::filesystem::path& tmpdir,
                   const std::filesystem::path& log, const std::string& language = "C") {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v(*e);
    if (v.rfind("TMPDIR=", 0) == 0 || v.rfind("LC_ALL=", 0) == 0 || v.rfind("LC_MESSAGES=", 0) == 0 ||
        v.rfind("LANG=", 0) == 0)
      continue;
    env.push_back(v);
  }
  env.push_back("TMPDIR=" + tmpdir.string());
  env.push_back("LANG=" + language);
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// The exit status, or 128 + the signal that ended the process.
inline int Wait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tessaly::test
