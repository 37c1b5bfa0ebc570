#include "sequencer/LbSequencerRules.h"

#include "kernel/Geometry.h"

uint32 LbSequencerRules::Tempo() const
{
    std::lock_guard<std::mutex> lock(mLock);
    return mTempo;
}

void LbSequencerRules::SetTempo(uint32 tempo)
{
    std::lock_guard<std::mutex> lock(mLock);
    mTempo = tempo;
}

void LbSequencerRules::Start(BMidiLocalProducer*)
{
    std::unique_lock<std::mutex> lock(mLock);
    mPlaying = true;
    mStopRequested = false;
    mStopped.wait(lock, [this] { return mStopRequested; });
    mPlaying = false;
}

void LbSequencerRules::Stop(BMidiLocalProducer*)
{
    std::lock_guard<std::mutex> lock(mLock);
    mStopRequested = true;
    mStopped.notify_all();
}

bool LbSequencerRules::IsPlaying() const
{
    std::lock_guard<std::mutex> lock(mLock);
    return mPlaying;
}

void LbSequencerRules::AddControls(QWidget*, BPoint)
{
    // The phrase controls come with the playback window.
}
