#pragma once
// The concrete iterators over patches and patch numbers that librarian operations use:
// over a list of patches (a selection, or a whole bank snapshot), over a range of numbers
// (a whole bank), over a list of numbers (a selection), and endless from a start number.
#include "librarian/LbIteratorsI.h"

#include <vector>

class LbBankI;
class LbBankSnapshotI;

// The patches of a list, in list order. The list is copied: patches are not owned.
class LbPatchListIt : public LbPatchIteratorI {
public:
    explicit LbPatchListIt(std::vector<LbPatchI*> patches) : mPatches(std::move(patches)) {}
    bool HasNext() override { return mNext < mPatches.size(); }
    LbPatchI* Next() override { return HasNext() ? mPatches[mNext++] : nullptr; }
    LbPatchI* Peek() override { return HasNext() ? mPatches[mNext] : nullptr; }
    int32 Size() override { return int32(mPatches.size()); }

private:
    std::vector<LbPatchI*> mPatches;
    size_t mNext = 0;
};

// Every patch of a bank snapshot, in list order.
class LbDmwBankIt : public LbPatchListIt {
public:
    explicit LbDmwBankIt(LbBankSnapshotI* snapshot);
};

// The numbers of a list, in list order.
class LbInt32ListIt : public LbInt32IteratorI {
public:
    explicit LbInt32ListIt(std::vector<int32> numbers) : mNumbers(std::move(numbers)) {}
    bool HasNext() override { return mNext < mNumbers.size(); }
    int32 Next() override { return HasNext() ? mNumbers[mNext++] : -1; }
    int32 Peek() override { return HasNext() ? mNumbers[mNext] : -1; }
    status_t Size(int32* count) override;

private:
    std::vector<int32> mNumbers;
    size_t mNext = 0;
};

// Minimum to Maximum of a bank, inclusive.
class LbDmwBankInt32It : public LbInt32IteratorI {
public:
    explicit LbDmwBankInt32It(const LbBankI* bank);
    bool HasNext() override { return mNext <= mLast; }
    int32 Next() override { return HasNext() ? int32(mNext++) : -1; }
    int32 Peek() override { return HasNext() ? int32(mNext) : -1; }
    status_t Size(int32* count) override;

private:
    int64 mFirst;
    int64 mNext;
    int64 mLast;
};

// start, start + 1, ... without end.
class LbInt32It : public LbInt32IteratorI {
public:
    explicit LbInt32It(int32 start) : mNext(start) {}
    bool HasNext() override { return true; }
    int32 Next() override { return mNext < INT32_MAX ? mNext++ : mNext; }
    int32 Peek() override { return mNext; }
    status_t Size(int32* count) override;

private:
    int32 mNext;
};
