#pragma once

#include <fstream>
#include <string>

// Processor seconds the whole machine has spent busy so far, the hypervisor's stolen time
// included (from /proc/stat): less a benchmark's own processor time over a run, what the rest of
// the machine took while it ran. 0 where the file cannot be read.
inline double MachineBusySeconds() {
  std::ifstream stat("/proc/stat");
  std::string label;
  double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  if (!(stat >> label >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal) || label != "cpu") return 0;
  constexpr double kTicksPerSecond = 100.0;  // USER_HZ on x86 Linux
  return (user + nice + system + irq + softirq + steal) / kTicksPerSecond;
}
