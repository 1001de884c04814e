#pragma once
// What the benchmarks of the program's real windows share: a virtual display of a
// given size started for the run, child processes with an environment of their own,
// a busy load beside them, the program's windows started as the program starts them,
// and medians.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

using TClock = std::chrono::steady_clock;

inline double Seconds(TClock::time_point t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(2);
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Max(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// A child process: `argv` run in `folder` with `environment` ("NAME=value") added; its
// standard output goes to `output` (-1: nowhere), its errors to ours or nowhere.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   const std::string& folder, int output, bool showErrors = false) {
  const pid_t pid = fork();
  if (pid < 0) Fail("fork failed");
  if (pid > 0) return pid;
  for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
  const int null = open("/dev/null", O_RDWR);
  dup2(output >= 0 ? output : null, 1);
  if (!showErrors) dup2(null, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

// Ends a child this run started and collects it.
inline void EndChild(pid_t pid) {
  kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
}

// Runs `argv` to its end and returns what it wrote on its standard output; what it
// says of its errors is passed on.
inline std::string RunForOutput(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) Fail("pipe failed");
  const pid_t pid = Spawn(argv, environment, std::string(), pipeFds[1], true);
  close(pipeFds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) output.append(buffer, std::size_t(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::fprintf(stderr, "%s ended with status %d\n", argv[0].c_str(), status);
  return output;
}

// Xvfb with one screen of width x height x 24 on a display number it picks itself,
// ready when the constructor returns; ended by the destructor.
class TVirtualDisplay {
public:
  TVirtualDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) Fail("pipe failed");
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    FPid = fork();
    if (FPid < 0) Fail("fork failed");
    if (FPid == 0) {
      // Ends with the benchmark, also when it fails without unwinding.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) Fail("Xvfb did not start (is it installed?)");
    FName = ":" + number;
  }
  ~TVirtualDisplay() { EndChild(FPid); }
  TVirtualDisplay(const TVirtualDisplay&) = delete;
  TVirtualDisplay& operator=(const TVirtualDisplay&) = delete;

  const std::string& Name() const { return FName; }

private:
  pid_t FPid = -1;
  std::string FName;
};

// `count` processes that keep a core each busy until the destructor ends them.
class TBusyLoad {
public:
  explicit TBusyLoad(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
      }
      if (pid > 0) FPids.push_back(pid);
    }
  }
  ~TBusyLoad() {
    for (pid_t pid : FPids) kill(pid, SIGKILL);
    for (pid_t pid : FPids) waitpid(pid, nullptr, 0);
  }
  TBusyLoad(const TBusyLoad&) = delete;
  TBusyLoad& operator=(const TBusyLoad&) = delete;

private:
  std::vector<pid_t> FPids;
};

// The load average over the last minute, as the machine reports it.
inline double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

}  // namespace bench
