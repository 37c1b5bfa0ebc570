#include "librarian/LbIterators.h"

#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"

LbDmwBankIt::LbDmwBankIt(LbBankSnapshotI* snapshot)
    : LbPatchListIt(snapshot ? snapshot->Patches() : std::vector<LbPatchI*>())
{
}

status_t LbInt32ListIt::Size(int32* count)
{
    if (count == nullptr) return B_BAD_VALUE;
    *count = int32(mNumbers.size());
    return B_OK;
}

LbDmwBankInt32It::LbDmwBankInt32It(const LbBankI* bank)
    : mFirst(bank ? bank->Minimum() : 0), mNext(mFirst), mLast(bank ? bank->Maximum() : -1)
{
}

status_t LbDmwBankInt32It::Size(int32* count)
{
    if (count == nullptr) return B_BAD_VALUE;
    *count = mLast >= mFirst ? int32(mLast - mFirst + 1) : 0;
    return B_OK;
}

status_t LbInt32It::Size(int32* count)
{
    if (count == nullptr) return B_BAD_VALUE;
    *count = -1;
    return B_OK;
}
