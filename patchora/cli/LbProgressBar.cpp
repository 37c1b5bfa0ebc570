#include "cli/LbProgressBar.h"

#include <unistd.h>

LbProgressBar::LbProgressBar(FILE* out) : mOut(out), mTerminal(isatty(fileno(out)) != 0)
{
}

LbProgressBar::~LbProgressBar()
{
    std::lock_guard<std::mutex> lock(mLock);
    FinishLine();
}

void LbProgressBar::BeginStatus(const char* text)
{
    std::lock_guard<std::mutex> lock(mLock);
    FinishLine();
    mStatus = text ? text : "";
    if (!mStatus.empty()) {
        fprintf(mOut, "%s", mStatus.c_str());
        mLineOpen = true;
        fflush(mOut);
    }
}

void LbProgressBar::EndStatus(const char* text)
{
    std::lock_guard<std::mutex> lock(mLock);
    FinishLine();
    if (text && *text) fprintf(mOut, "%s\n", text);
    mStatus.clear();
}

void LbProgressBar::BeginProgress(float maximum)
{
    std::lock_guard<std::mutex> lock(mLock);
    mMax = maximum;
    mValue = 0;
    mDrawnPercent = -1;
    Draw(true);
}

float LbProgressBar::ProgressMax()
{
    std::lock_guard<std::mutex> lock(mLock);
    return mMax;
}

void LbProgressBar::MoveProgressBy(float step)
{
    std::lock_guard<std::mutex> lock(mLock);
    mValue += step;
    Draw(false);
}

void LbProgressBar::MoveProgressTo(float value)
{
    std::lock_guard<std::mutex> lock(mLock);
    mValue = value;
    Draw(false);
}

void LbProgressBar::EndProgress()
{
    std::lock_guard<std::mutex> lock(mLock);
    FinishLine();
    mMax = 0;
}

void LbProgressBar::Draw(bool force)
{
    if (mMax <= 0) return;
    int percent = int(100.0f * (mValue > mMax ? mMax : mValue) / mMax);
    // On a terminal the bar redraws in place; in a log the line grows by every tenth.
    if (!force && (percent == mDrawnPercent || (!mTerminal && percent / 10 == mDrawnPercent / 10))) return;
    mDrawnPercent = percent;
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kWidth - filled), '.');
    if (!mTerminal && !mLineOpen) fprintf(mOut, "%s", mStatus.c_str());
    if (mTerminal)
        fprintf(mOut, "\r%s [%s] %3d%%", mStatus.c_str(), bar.c_str(), percent);
    else
        fprintf(mOut, " %d%%", percent);
    mLineOpen = true;
    fflush(mOut);
}

void LbProgressBar::FinishLine()
{
    if (!mLineOpen) return;
    fprintf(mOut, "\n");
    fflush(mOut);
    mLineOpen = false;
}
