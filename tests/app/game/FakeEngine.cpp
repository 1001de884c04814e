// A stand-in chess engine for the engine tests, driven by a script:
//   fake_engine SCRIPT LOG [more arguments...]
// It writes its working folder and its arguments to LOG.info, every byte it receives
// to LOG, the same to LOG.reads with a "|" after each read, each line it receives to
// LOG.times after the steady clock's nanoseconds when the read that completed it
// returned, and runs the script's commands one a line:
//   say TEXT       writes TEXT and a line feed in one write
//   write TEXT     writes TEXT in one write; \n \r \t \\ are escapes
//   repeat N C     writes a line of N times the character C
//   flood N TEXT   writes N lines of TEXT as fast as they are read; N 0: without end
//   expect TEXT    reads lines until one equals TEXT
//   pause MS       sleeps
//   await PATH     waits until a file PATH exists, without reading
//   ignoreterm     ignores the terminate signal from now on
//   hang           sleeps for good without reading
//   exit CODE      ends at once
//   crash          ends by a segmentation fault (without a core file)
// At the end of the script it reads until "quit" or the end of its input.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::ofstream ReceivedLog;
std::ofstream ReadsLog;
std::ofstream TimesLog;
std::string Pending;
std::string TimedLine;  // the line LOG.times has seen the start of

void WriteAll(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(1, text.data() + done, text.size() - done);
    if (n <= 0) std::exit(3);
    done += static_cast<std::size_t>(n);
  }
}

// `count` lines of `line` (0: without end), many to a write.
void Flood(unsigned long count, const std::string& line) {
  const std::size_t perWrite = 65536 / (line.size() + 1) + 1;
  std::string many;
  for (std::size_t i = 0; i < perWrite; ++i) many += line + "\n";
  for (unsigned long done = 0; count == 0 || done < count; done += perWrite) {
    const std::size_t lines = count == 0 ? perWrite : std::min<std::size_t>(perWrite, count - done);
    WriteAll(many.substr(0, lines * (line.size() + 1)));
  }
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// Notes the lines that a read of `bytes` completed, with the time it returned.
void LogLineTimes(const char* bytes, std::size_t count) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const long long nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] != '\n') {
      TimedLine += bytes[i];
      continue;
    }
    TimesLog << nanoseconds << ' ' << TimedLine << '\n';
    TimedLine.clear();
  }
  TimesLog.flush();
}

// The next line of input without its line feed; false at the end of the input.
bool ReadLine(std::string& line) {
  for (;;) {
    std::size_t end = Pending.find('\n');
    if (end != std::string::npos) {
      line = Pending.substr(0, end);
      Pending.erase(0, end + 1);
      return true;
    }
    char buffer[4096];
    ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n <= 0) return false;
    ReceivedLog.write(buffer, n);
    ReceivedLog.flush();
    ReadsLog.write(buffer, n) << '|';
    ReadsLog.flush();
    LogLineTimes(buffer, static_cast<std::size_t>(n));
    Pending.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: fake_engine SCRIPT LOG [arguments...]\n";
    return 2;
  }
  ReceivedLog.open(argv[2], std::ios::binary);
  ReadsLog.open(std::string(argv[2]) + ".reads", std::ios::binary);
  TimesLog.open(std::string(argv[2]) + ".times", std::ios::binary);
  {
    std::ofstream info(std::string(argv[2]) + ".info");
    char folder[4096];
    info << "cwd " << (::getcwd(folder, sizeof folder) ? folder : "?") << "\n";
    for (int i = 3; i < argc; ++i) info << "arg " << argv[i] << "\n";
  }
  std::ifstream script(argv[1]);
  std::string command;
  std::string line;
  while (std::getline(script, command)) {
    std::size_t blank = command.find(' ');
    std::string verb = command.substr(0, blank);
    std::string rest = blank == std::string::npos ? std::string() : command.substr(blank + 1);
    if (verb == "say") {
      WriteAll(rest + "\n");
    } else if (verb == "write") {
      WriteAll(Unescape(rest));
    } else if (verb == "repeat") {
      std::size_t split = rest.find(' ');
      WriteAll(std::string(std::stoul(rest.substr(0, split)), rest.at(split + 1)) + "\n");
    } else if (verb == "flood") {
      std::size_t split = rest.find(' ');
      Flood(std::stoul(rest.substr(0, split)), split == std::string::npos ? std::string() : rest.substr(split + 1));
    } else if (verb == "expect") {
      while (ReadLine(line) && line != rest) {
      }
    } else if (verb == "pause") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(rest)));
    } else if (verb == "await") {
      while (!std::filesystem::exists(rest)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } else if (verb == "ignoreterm") {
      std::signal(SIGTERM, SIG_IGN);
    } else if (verb == "hang") {
      for (;;) ::pause();
    } else if (verb == "exit") {
      return std::stoi(rest);
    } else if (verb == "crash") {
      rlimit noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      std::signal(SIGSEGV, SIG_DFL);
      std::raise(SIGSEGV);
    }
  }
  while (ReadLine(line) && line != "quit") {
  }
  return 0;
}
