#pragma once
// Requesting whole banks for the command line.
#include "kernel/SupportDefs.h"

#include <vector>

class LbBankSnapshotI;
class LbStatusWormholeI;

// Requests every patch of the banks, with status and progress. MIDI loses a message now
// and then (a busy instrument, a cheap interface), so patches that did not come are asked
// for again, up to `retries` times, before the instrument counts as silent; only then is
// the user told (the alert of the last failure). A patch still missing then is a failure
// even when every request had an answer (a late reply answers the next request in its
// place). Returns B_OK only when every patch came, else the first failure.
status_t LbRequestBanks(const std::vector<LbBankSnapshotI*>& banks, long retries, LbStatusWormholeI* progress);
