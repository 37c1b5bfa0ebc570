#pragma once

// Sink for the status text and progress of long operations (requests, sends, reading a
// document). Windows and the studio implement it; workers report to it from their threads.
class LbStatusWormholeI {
public:
    virtual ~LbStatusWormholeI() = default;
    virtual void BeginStatus(const char* text) = 0;
    virtual void EndStatus(const char* text) = 0;
    virtual void BeginProgress(float maximum) = 0;
    virtual float ProgressMax() = 0;
    virtual void MoveProgressBy(float step) = 0;
    virtual void MoveProgressTo(float value) = 0;
    virtual void EndProgress() = 0;
};
