#pragma once
// The commands of `mediahost`, the media server's stand-in: list an add-on's flavors,
// print a flavor's parameter web, and run a node of a flavor as a JACK client with one
// port per channel of its connection points.
//
// Each command writes its report to `out` and problems to `err` ("mediahost: ..."), and
// returns the exit status: 0 done, 1 failed, 2 a usage error.
// Threads: run blocks the calling thread until Interrupt() (from a signal handler: it only
// posts a semaphore) or until the JACK server goes away.
#include <iosfwd>
#include <string>
#include <vector>

int mediahost_main(const std::vector<std::string>& arguments, std::ostream& out,
	std::ostream& err);
// Ends a running `run` (async-signal-safe).
void mediahost_interrupt();
