#pragma once
// A child process whose standard input and output are pipes to us: started from a
// path and its parameters without a shell, written to and read from, stopped and
// reaped. The read end can be woken from another thread, so that a reader blocked on
// it can be joined.

#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Splits a parameter line into arguments at blanks and tabs; double quotes group
// blanks into one argument and are dropped. `-depth 3 "my book.bin"` gives three.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

class TChildProcess {
public:
  // What one ReadOutput call found.
  enum class TReadResult { Data, Ended, Woken };

  TChildProcess() = default;
  // Kills and reaps a child that is still running, then closes every handle.
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Starts `path` with `arguments` (argv[1]...) in `workFolder` (empty: our own),
  // its standard input from our pipe, its standard output and error into our other
  // pipe, in a process group of its own. A path without a "/" is searched on PATH; a
  // relative one with a "/" is taken from our current folder, not from `workFolder`.
  // Returns false and sets ErrorText() when the program cannot be started.
  bool Start(const std::string& path, const std::vector<std::string>& arguments, const std::string& workFolder);

  bool Started() const { return FPid > 0; }
  pid_t Pid() const { return FPid; }
  // Why Start or WriteInput failed, e.g. "No such file or directory".
  const std::string& ErrorText() const { return FErrorText; }

  // Writes all of `data` to the child's input, waiting at most `timeout` for a child
  // that does not read. Returns false (ErrorText() says why) when the child is gone,
  // its input is closed, or the time ran out; nothing raises and no signal arrives.
  bool WriteInput(std::string_view data, std::chrono::milliseconds timeout);
  // How many bytes written to the child's input it has not read yet (0 without one).
  std::size_t UnreadInput() const;

  // Blocks until the child writes something (up to `capacity` bytes into `buffer`,
  // their count in `count`), its output ends or fails (Ended), or WakeReader is
  // called (Woken; it stays woken). Call from one thread at a time.
  TReadResult ReadOutput(char* buffer, std::size_t capacity, std::size_t& count);
  // Makes a blocked or later ReadOutput return Woken. Safe from any thread.
  void WakeReader();

  // Waits up to `timeout` for the child to exit and reaps it. True once it is reaped.
  bool WaitForExit(std::chrono::milliseconds timeout);
  // Sends "terminate" without waiting; WaitForExit tells when the child has gone.
  void Terminate();
  // Sends "terminate", waits up to `grace`, then kills and waits up to KILL_WAIT for
  // the kernel to end it. True once the child is reaped.
  bool Stop(std::chrono::milliseconds grace);
  // How the reaped child ended: "exit code 3", "signal 11 (Segmentation fault)"; empty
  // while it runs or when it is not known (no child, or reaped elsewhere).
  std::string ExitText() const;

  // How long a kill may take to end the child before we stop waiting for it (a process
  // stuck in the kernel cannot be ended at once).
  static constexpr std::chrono::milliseconds KILL_WAIT{2000};
  // Closes both pipes and the wake handle. Only once no thread reads any more.
  void ClosePipes();

private:
  // Sends `signal` to the child's process group while the child is not yet reaped.
  void Signal(int signal);
  // Kills the child while it is not yet reaped, and reaps it.
  void Kill();

  pid_t FPid = -1;
  bool FReaped = false;
  bool FStatusKnown = false;
  int FStatus = 0;  // the wait status of the reaped child
  int FInputFd = -1;   // write end of the child's standard input
  int FOutputFd = -1;  // read end of the child's standard output and error
  int FWakeFd = -1;    // event counter that wakes the reader
  std::string FErrorText;
};
