// Test support: temporary directories and child processes run as an
// operator would run them, with their output captured in files.
#ifndef CRAWLER_TESTS_SUPPORT_PROCESS_H_
#define CRAWLER_TESTS_SUPPORT_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under /tmp, removed with its content on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// A child started with fork/exec; killed (SIGKILL) and reaped on destruction
// if still running.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Runs argv[0] in `workdir` with `env` ("NAME=value") added to the
  // environment; standard output and error go to the two files.
  bool Start(const std::vector<std::string>& argv, const std::string& workdir,
             const std::vector<std::string>& env, const std::string& out_file,
             const std::string& err_file);
  // Like Start, but the child waits until Release() before it execs, so the
  // caller can prepare things that depend on the child's pid.
  bool StartHeld(const std::vector<std::string>& argv, const std::string& workdir,
                 const std::vector<std::string>& env, const std::string& out_file,
                 const std::string& err_file);
  void Release();
  // Kills (SIGKILL) and reaps a child still running; the object can start
  // another one.
  void Stop();

  pid_t pid() const { return pid_; }
  void Signal(int sig) const;
  // Exit status (0-255), 128+signal when killed, or -1 on time-out.
  int Wait(int timeout_ms);

 private:
  bool Launch(const std::vector<std::string>& argv, const std::string& workdir,
              const std::vector<std::string>& env, const std::string& out_file,
              const std::string& err_file, bool held);

  pid_t pid_ = -1;
  int hold_fd_ = -1;
  bool reaped_ = false;
};

// Polls `pred` every 20 ms until it is true or `timeout_ms` passed.
template <class Pred>
bool WaitUntil(Pred pred, int timeout_ms);

}  // namespace testsupport

#include <unistd.h>

template <class Pred>
bool testsupport::WaitUntil(Pred pred, int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 20) {
    if (pred()) return true;
    usleep(20000);
  }
  return pred();
}

#endif  // CRAWLER_TESTS_SUPPORT_PROCESS_H_
