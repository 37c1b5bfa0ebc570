#include "devices/morpheus/LbMorpheusProgramParam.h"

#include "librarian/LbDataI.h"

#include <cassert>
#include <cstdio>
#include <new>

LbMorpheusProgramParam::LbMorpheusProgramParam(const char* name, int32 id, uint32 bankIndex, uint32 programIndex,
                                               int32 lowestBank, int32 highestBank, int32 paramNumber)
    : LbIntParam(name, nullptr, id, programIndex, bankIndex, lowestBank, highestBank),
      mBankIndex(bankIndex), mProgramIndex(programIndex), mLowestBank(lowestBank), mHighestBank(highestBank)
{
    SetRealtime(new (std::nothrow) LbMorpheusProgramRealtime(paramNumber, this));
}

int32 LbMorpheusProgramParam::Min(uint32 which) const
{
    switch (which) {
    case LB_PROGRAM_BANK: return mLowestBank;
    case LB_PROGRAM_PROGRAM: return 0;
    default: return -1;
    }
}

int32 LbMorpheusProgramParam::Max(uint32 which) const
{
    switch (which) {
    case LB_PROGRAM_BANK: return mHighestBank;
    case LB_PROGRAM_PROGRAM: return 127;
    default: return 0;
    }
}

status_t LbMorpheusProgramParam::ReadSysEx(const LbDataI* data, uint32 which, int32* value) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 word, byte;
    if (value == nullptr || mWord.ReadSysEx(data->Bits(), data->Length(), mProgramIndex, mBankIndex, &word) != B_OK)
        return B_ERROR;
    if (word == -1) {
        *value = -1;
        return B_OK;
    }
    switch (which) {
    case LB_PROGRAM_BANK:
        if (mByte.ReadSysEx(data->Bits(), data->Length(), mBankIndex, mBankIndex, &byte) != B_OK) return B_ERROR;
        *value = byte < mLowestBank ? mLowestBank : byte > mHighestBank ? mHighestBank : byte;
        return B_OK;
    case LB_PROGRAM_PROGRAM:
        return mByte.ReadSysEx(data->Bits(), data->Length(), mProgramIndex, mProgramIndex, value);
    default:
        *value = 0;
        return B_OK;
    }
}

status_t LbMorpheusProgramParam::EncodedWord(const LbDataI* data, uint32 which, int32 value, int32* word) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (word == nullptr) return B_ERROR;
    if (which != LB_PROGRAM_BANK && which != LB_PROGRAM_PROGRAM) {
        if (value < -8192 || value > 8191) return B_ERROR;
        // Enabling a word that is already on keeps its bank and program; only an off word
        // starts again from bank 0, program 0.
        int32 current;
        if (value == 0 && mWord.ReadSysEx(data->Bits(), data->Length(), mProgramIndex, mBankIndex, &current) == B_OK
            && current != -1)
            value = current;
        *word = value;
        return B_OK;
    }
    // One byte changes; the other keeps what the block holds.
    int32 program, bank;
    if (value < 0 || value > 127
        || mByte.ReadSysEx(data->Bits(), data->Length(), mProgramIndex, mProgramIndex, &program) != B_OK
        || mByte.ReadSysEx(data->Bits(), data->Length(), mBankIndex, mBankIndex, &bank) != B_OK)
        return B_ERROR;
    if (which == LB_PROGRAM_BANK)
        bank = value;
    else
        program = value;
    if (program > 127 || bank > 127) return B_ERROR;
    int32 unsignedWord = bank * 128 + program;
    *word = unsignedWord > 8191 ? unsignedWord - 16384 : unsignedWord;
    return B_OK;
}

status_t LbMorpheusProgramParam::WriteSysEx(LbDataI* data, uint32 which, int32 value) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 word;
    if (EncodedWord(data, which, value, &word) != B_OK) return B_ERROR;
    return mWord.WriteSysEx(data->Bits(), data->Length(), mProgramIndex, mBankIndex, word);
}

void LbMorpheusProgramParam::PrintBytes(const uint8* bits) const
{
    if (bits == nullptr) return;
    auto printBits = [](uint8 byte) {
        for (int bit = 0; bit < 8; bit++) putchar((byte & (0x80 >> bit)) ? '1' : '0');
    };
    printf("Bank bits (%ld):\n\t", long(mBankIndex));
    printBits(bits[mBankIndex]);
    printf("\nProgram bits (%ld):\n\t", long(mProgramIndex));
    printBits(bits[mProgramIndex]);
    printf("\n");
    fflush(stdout);
}

status_t LbMorpheusProgramRealtime::Send(LbDeviceI* device, const LbIntCodecI*, const LbDataI* data,
                                         uint32 which, int32 value)
{
    int32 word;
    if (mParam == nullptr || data == nullptr || mParam->EncodedWord(data, which, value, &word) != B_OK)
        return B_ERROR;
    return SendValue(device, &mWord, ParamNumber(), word);
}
