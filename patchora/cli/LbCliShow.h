#pragma once
// Printing banks and patches for people: one line per patch, and with parameters one
// line per parameter, grouped by the pages and groups of the bank's parameter tree.
#include <cstdio>
#include <vector>

class LbBankSnapshotI;
class LbParam;
class LbPatchI;

void LbShowBanks(FILE* out, const std::vector<LbBankSnapshotI*>& banks, bool params);
// Every parameter under `param` with its value in `patch`, indented by depth.
void LbShowParams(FILE* out, const LbParam* param, const LbPatchI* patch, int depth);
