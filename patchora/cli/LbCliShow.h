#pragma once
// Printing banks and patches for people: one line per patch, and with parameters one
// line per parameter, grouped by the pages and groups of the bank's parameter tree.
#include <cstdio>
#include <vector>

class LbBankSnapshotI;
class LbParam;
class LbPatchI;

void LbShowBanks(FILE* out, const std::vector<LbBankSnapshotI*>& banks, bool params);
// Every parameter under `param` with its value in `patch`, indented by depth. A name its
// siblings share (the pitch group of each layer, the level of each segment) is followed by
// `index`, its place among them from 1; 0 for a name of its own.
void LbShowParams(FILE* out, const LbParam* param, const LbPatchI* patch, int depth, int index = 0);
