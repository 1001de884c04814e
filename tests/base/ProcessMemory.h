#pragma once
// What the process holds, from /proc/self/status, for the tests and benchmarks that
// check memory: "VmRSS:" the memory it holds now, "VmHWM:" the most it held since
// the peak was reset (ResetPeakMemory).

#include <fstream>
#include <string>

// The figure `key` ("VmRSS:", "VmHWM:") in kilobytes; -1 where it is not given.
inline long ProcessStatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(key)) return std::stol(line.substr(key.size()));
  return -1;
}

inline long ProcessStatusMegabytes(const std::string& key) { return ProcessStatusKb(key) / 1024; }

// The peak starts again from what the process holds now, where the system lets it.
inline void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
