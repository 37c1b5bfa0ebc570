#pragma once
// A registry through which handlers subscribe to notifications by type code. Snapshots
// and the studio use it to tell windows what changed.
//
// NotifyDependents runs on the caller's thread. Each dependent gets the message through
// its MessageReceived with its looper locked (recursively when it is the caller's own).
// A dependent whose looper runs on a thread someone else drives (a window's looper on the
// GUI thread) is never called, nor its looper locked, from another thread: it gets a copy
// posted instead. So does a dependent whose looper another thread holds for more than a
// second. Posting waits at most 3 s for room in a full queue, then the dependent goes
// without. A dependent without a looper, or whose looper has gone, is passed over.
//
// Thread rules: any thread may register, subscribe, unsubscribe and notify. A dependent
// unsubscribed before it is told is not told; a handler must unsubscribe before it is
// deleted, from its own looper's thread or with its looper locked.
#include "kernel/Locker.h"
#include "kernel/SupportDefs.h"

#include <vector>

class BHandler;
class BMessage;

class OrbNotificationType {
public:
    explicit OrbNotificationType(int32 code) : mCode(code) {}
    int32 Code() const { return mCode; }
    bool AddDependent(BHandler* handler);
    bool RemoveDependent(BHandler* handler);
    bool HasDependent(const BHandler* handler) const;
    const std::vector<BHandler*>& Dependents() const { return mDependents; }

private:
    int32 mCode;
    std::vector<BHandler*> mDependents;   // not owned
};

class OrbNotificationRegistry {
public:
    OrbNotificationRegistry() = default;
    virtual ~OrbNotificationRegistry() = default;
    OrbNotificationRegistry(const OrbNotificationRegistry&) = delete;
    OrbNotificationRegistry& operator=(const OrbNotificationRegistry&) = delete;

    void RegisterType(int32 code);
    // Each returns the number of types changed.
    int32 AddDependent(BHandler* handler);
    int32 RemoveDependent(BHandler* handler);
    int32 AddDependent(int32 code, BHandler* handler);
    int32 RemoveDependent(int32 code, BHandler* handler);
    // `async` is accepted for callers that pass it; delivery is as described above.
    void NotifyDependents(int32 code, BMessage* message, bool async);

private:
    // With mLock held: whether the type at index still has that code and dependent.
    bool StillDependent(size_t typeIndex, int32 code, const BHandler* handler) const;

    mutable BLocker mLock;   // guards mTypes; never held while waiting for a looper
    std::vector<OrbNotificationType> mTypes;
};
