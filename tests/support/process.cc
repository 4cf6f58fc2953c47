#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace testsupport {

TempDir::TempDir() {
  char tmpl[] = "/tmp/crawler_test_XXXXXX";
  char* dir = mkdtemp(tmpl);
  path_ = dir != nullptr ? dir : "/tmp";
}

TempDir::~TempDir() {
  if (path_ == "/tmp") return;
  std::string cmd = "rm -rf '" + path_ + "'";
  if (system(cmd.c_str()) != 0) return;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::trunc) << text;
}

Child::~Child() { Stop(); }

void Child::Stop() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Release();
  pid_ = -1;
  reaped_ = false;
}

bool Child::Start(const std::vector<std::string>& argv, const std::string& workdir,
                  const std::vector<std::string>& env, const std::string& out_file,
                  const std::string& err_file) {
  return Launch(argv, workdir, env, out_file, err_file, false);
}

bool Child::StartHeld(const std::vector<std::string>& argv, const std::string& workdir,
                      const std::vector<std::string>& env, const std::string& out_file,
                      const std::string& err_file) {
  return Launch(argv, workdir, env, out_file, err_file, true);
}

void Child::Release() {
  if (hold_fd_ < 0) return;
  close(hold_fd_);
  hold_fd_ = -1;
}

bool Child::Launch(const std::vector<std::string>& argv, const std::string& workdir,
                   const std::vector<std::string>& env, const std::string& out_file,
                   const std::string& err_file, bool held) {
  Stop();
  int hold[2] = {-1, -1};
  if (held && pipe(hold) != 0) return false;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (held) {
      close(hold[1]);
      char c;
      while (read(hold[0], &c, 1) > 0) {
      }
      close(hold[0]);
    }
    int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(workdir.c_str()) != 0) _exit(127);
    dup2(out, 1);
    dup2(err, 2);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (held) {
    close(hold[0]);
    hold_fd_ = hold[1];
  }
  return true;
}

void Child::Signal(int sig) const {
  if (pid_ > 0 && !reaped_) kill(pid_, sig);
}

int Child::Wait(int timeout_ms) {
  if (pid_ <= 0) return -1;
  int status = 0;
  for (int waited = 0; waited <= timeout_ms; waited += 10) {
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    usleep(10000);
  }
  return -1;
}

}  // namespace testsupport
