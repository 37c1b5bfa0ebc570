#pragma once
// Status text and a progress bar on a terminal stream (standard error): what long
// operations report while they run. Safe to call from a worker thread.
#include "librarian/LbStatusWormholeI.h"

#include <cstdio>
#include <mutex>
#include <string>

class LbProgressBar : public LbStatusWormholeI {
public:
    explicit LbProgressBar(FILE* out = stderr);
    ~LbProgressBar() override;

    void BeginStatus(const char* text) override;
    void EndStatus(const char* text) override;
    void BeginProgress(float maximum) override;
    float ProgressMax() override;
    void MoveProgressBy(float step) override;
    void MoveProgressTo(float value) override;
    void EndProgress() override;

private:
    void Draw(bool force);
    void FinishLine();

    FILE* mOut;
    bool mTerminal;
    std::mutex mLock;
    std::string mStatus;
    float mMax = 0;
    float mValue = 0;
    int mDrawnPercent = -1;
    bool mLineOpen = false;
};
