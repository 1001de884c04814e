#include "platform/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

// A write to a pipe whose reader has gone must fail with EPIPE, not end the program.
void IgnoreBrokenPipes() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A pipe end that landed on 0, 1 or 2 (our own standard streams were closed) would be
// dup2'ed onto itself in the child and keep its close-on-exec flag; move it above 2.
bool MoveAboveStandardFds(int& fd) {
  if (fd > 2) return true;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  ::close(fd);
  fd = moved;
  return fd >= 0;
}

std::string ErrnoText(int error) { return std::strerror(error); }

int RemainingMs(TClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view parameters) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (char c : parameters) {
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

TChildProcess::~TChildProcess() {
  Kill();
  ClosePipes();
}

bool TChildProcess::Start(const std::string& path, const std::vector<std::string>& arguments,
                          const std::string& workFolder) {
  IgnoreBrokenPipes();
  FErrorText.clear();
  if (Started() || FInputFd >= 0) {
    FErrorText = "A process has already been started";
    return false;
  }
  // The child changes to `workFolder` before it runs the program, so a relative path
  // that holds a folder ("games/phalanx") is made absolute from our folder first.
  std::string program = path;
  if (!program.empty() && program.front() != '/' && program.find('/') != std::string::npos) {
    char here[PATH_MAX];
    if (!::getcwd(here, sizeof here)) {
      FErrorText = ErrnoText(errno);
      return false;
    }
    program = std::string(here) + "/" + program;
  }
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  auto fail = [&](int error) {
    FErrorText = ErrnoText(error);
    for (int* fd : {&input[0], &input[1], &output[0], &output[1]}) CloseFd(*fd);
    CloseFd(FWakeFd);
    return false;
  };
  if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) return fail(errno);
  for (int* fd : {&input[0], &input[1], &output[0], &output[1]})
    if (!MoveAboveStandardFds(*fd)) return fail(errno);
  FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FWakeFd < 0) return fail(errno);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_adddup2(&actions, output[1], 2);
  if (!workFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workFolder.c_str());
  // The child gets SIGPIPE back (we ignore it, and ignored signals survive exec), an
  // empty signal mask, and a process group of its own so that it can be stopped with
  // whatever it starts and does not receive the terminal's interrupts meant for us.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigset_t noMask;
  sigemptyset(&noMask);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &noMask);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  // Also its own name: an engine that finds its files from its name must not look
  // for them from `workFolder` again.
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  bool searchPath = program.find('/') == std::string::npos;
  int error = searchPath ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
                         : ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return fail(error);

  FPid = pid;
  FReaped = false;
  CloseFd(input[0]);
  CloseFd(output[1]);
  FInputFd = input[1];
  FOutputFd = output[0];
  // Writes wait in poll with a time limit, never in write itself.
  ::fcntl(FInputFd, F_SETFL, ::fcntl(FInputFd, F_GETFL) | O_NONBLOCK);
  return true;
}

bool TChildProcess::WriteInput(std::string_view data, std::chrono::milliseconds timeout) {
  if (FInputFd < 0) {
    FErrorText = "The process has no input";
    return false;
  }
  auto deadline = TClock::now() + timeout;
  while (!data.empty()) {
    ssize_t written = ::write(FInputFd, data.data(), data.size());
    if (written > 0) {
      data.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      FErrorText = ErrnoText(errno);
      return false;
    }
    pollfd waitFor{FInputFd, POLLOUT, 0};
    int ready = ::poll(&waitFor, 1, RemainingMs(deadline));
    if (ready == 0) {
      FErrorText = "The process does not read its input";
      return false;
    }
    if (ready < 0 && errno != EINTR) {
      FErrorText = ErrnoText(errno);
      return false;
    }
  }
  return true;
}

std::size_t TChildProcess::UnreadInput() const {
  // A pipe answers FIONREAD at either end with the bytes it holds.
  int unread = 0;
  if (FInputFd < 0 || ::ioctl(FInputFd, FIONREAD, &unread) != 0 || unread < 0) return 0;
  return static_cast<std::size_t>(unread);
}

TChildProcess::TReadResult TChildProcess::ReadOutput(char* buffer, std::size_t capacity, std::size_t& count) {
  count = 0;
  if (FOutputFd < 0) return TReadResult::Ended;
  for (;;) {
    pollfd fds[2] = {{FOutputFd, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
    int ready = ::poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return TReadResult::Ended;
    }
    if (fds[1].revents != 0) return TReadResult::Woken;
    if (fds[0].revents == 0) continue;
    ssize_t got = ::read(FOutputFd, buffer, capacity);
    if (got > 0) {
      count = static_cast<std::size_t>(got);
      return TReadResult::Data;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return TReadResult::Ended;
  }
}

void TChildProcess::WakeReader() {
  if (FWakeFd < 0) return;
  std::uint64_t one = 1;
  // The counter only has to become non-zero; a failed write means it already is.
  [[maybe_unused]] ssize_t ignored = ::write(FWakeFd, &one, sizeof one);
}

bool TChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (!Started() || FReaped) return FReaped;
  auto deadline = TClock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t result = ::waitpid(FPid, &status, WNOHANG);
    if (result == FPid || (result < 0 && errno == ECHILD)) {
      FReaped = true;
      FStatusKnown = result == FPid;
      FStatus = status;
      return true;
    }
    if (result < 0 && errno == EINTR) continue;
    if (TClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(5, RemainingMs(deadline) + 1)));
  }
}

void TChildProcess::Signal(int signal) {
  if (!Started() || FReaped) return;
  // The group takes along what the child started; the child itself is signalled too in
  // case it left the group. Its pid cannot be reused before we reap it.
  ::kill(-FPid, signal);
  ::kill(FPid, signal);
}

void TChildProcess::Terminate() { Signal(SIGTERM); }

bool TChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!Started() || FReaped) return FReaped;
  Terminate();
  if (!WaitForExit(grace)) Kill();
  return FReaped;
}

std::string TChildProcess::ExitText() const {
  if (!FStatusKnown) return std::string();
  if (WIFEXITED(FStatus)) return "exit code " + std::to_string(WEXITSTATUS(FStatus));
  if (WIFSIGNALED(FStatus)) {
    int signal = WTERMSIG(FStatus);
    const char* name = ::strsignal(signal);
    return "signal " + std::to_string(signal) + (name ? " (" + std::string(name) + ")" : std::string());
  }
  return std::string();
}

void TChildProcess::Kill() {
  Signal(SIGKILL);
  // A killed process ends as soon as the kernel gets to it, which for one stuck in a
  // device driver may be never: it is then left, not waited for without end.
  WaitForExit(KILL_WAIT);
}

void TChildProcess::ClosePipes() {
  CloseFd(FInputFd);
  CloseFd(FOutputFd);
  CloseFd(FWakeFd);
}
