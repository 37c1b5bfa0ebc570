#include "support/OrbNotificationRegistry.h"

#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

#include <algorithm>

namespace {
// How long a notifier waits for a dependent's looper lock, and for room in a full queue.
constexpr bigtime_t kLockTimeout = 1000000;
constexpr bigtime_t kPostTimeout = 3000000;
} // namespace

bool OrbNotificationType::AddDependent(BHandler* handler)
{
    if (handler == nullptr || HasDependent(handler))
        return false;
    mDependents.push_back(handler);
    return true;
}

bool OrbNotificationType::RemoveDependent(BHandler* handler)
{
    auto it = std::find(mDependents.begin(), mDependents.end(), handler);
    if (it == mDependents.end())
        return false;
    mDependents.erase(it);
    return true;
}

bool OrbNotificationType::HasDependent(const BHandler* handler) const
{
    return std::find(mDependents.begin(), mDependents.end(), handler) != mDependents.end();
}

void OrbNotificationRegistry::RegisterType(int32 code)
{
    BAutolock lock(mLock);
    mTypes.emplace_back(code);
}

int32 OrbNotificationRegistry::AddDependent(BHandler* handler)
{
    BAutolock lock(mLock);
    int32 changed = 0;
    for (OrbNotificationType& type : mTypes)
        changed += type.AddDependent(handler);
    return changed;
}

int32 OrbNotificationRegistry::RemoveDependent(BHandler* handler)
{
    BAutolock lock(mLock);
    int32 changed = 0;
    for (OrbNotificationType& type : mTypes)
        changed += type.RemoveDependent(handler);
    return changed;
}

int32 OrbNotificationRegistry::AddDependent(int32 code, BHandler* handler)
{
    BAutolock lock(mLock);
    int32 changed = 0;
    for (OrbNotificationType& type : mTypes)
        if (type.Code() == code)
            changed += type.AddDependent(handler);
    return changed;
}

int32 OrbNotificationRegistry::RemoveDependent(int32 code, BHandler* handler)
{
    BAutolock lock(mLock);
    int32 changed = 0;
    for (OrbNotificationType& type : mTypes)
        if (type.Code() == code)
            changed += type.RemoveDependent(handler);
    return changed;
}

bool OrbNotificationRegistry::StillDependent(size_t typeIndex, int32 code, const BHandler* handler) const
{
    return typeIndex < mTypes.size() && mTypes[typeIndex].Code() == code
        && mTypes[typeIndex].HasDependent(handler);
}

void OrbNotificationRegistry::NotifyDependents(int32 code, BMessage* message, bool)
{
    if (message == nullptr)
        return;
    // Who to tell, taken under the registry lock. The lock is not held while a looper is
    // locked from here (a window may be subscribing on its own thread meanwhile), so every
    // dependent is checked again before it is touched.
    struct Entry {
        size_t typeIndex;
        BHandler* handler;
    };
    std::vector<Entry> entries;
    {
        BAutolock lock(mLock);
        for (size_t i = 0; i < mTypes.size(); i++) {
            if (mTypes[i].Code() != code)
                continue;
            for (BHandler* handler : mTypes[i].Dependents())
                entries.push_back({i, handler});
        }
    }
    const thread_id self = find_thread(nullptr);
    for (const Entry& entry : entries) {
        BMessenger target;
        bool post;
        {
            BAutolock lock(mLock);
            if (!StillDependent(entry.typeIndex, code, entry.handler))
                continue;
            // The handler, and so its looper, is alive while subscribed.
            target = BMessenger(entry.handler);
            BLooper* looper = entry.handler->Looper();
            post = looper != nullptr && looper->IsDrivenExternally() && looper->Thread() != self;
        }
        if (!target.IsValid())
            continue;
        // Not ours to call (a window on the GUI thread, which may be waiting for this very
        // thread): post a copy, without ever locking its looper.
        if (post) {
            target.SendMessage(message, BMessenger(), kPostTimeout);
            continue;
        }
        // A looper held by someone else for that long gets a copy posted instead.
        status_t locked = target.LockTargetWithTimeout(kLockTimeout);
        if (locked == B_TIMED_OUT)
            target.SendMessage(message, BMessenger(), kPostTimeout);
        if (locked != B_OK)
            continue;
        BLooper* looper = nullptr;
        target.Target(&looper);
        bool deliver;
        {
            BAutolock lock(mLock);
            deliver = looper != nullptr && StillDependent(entry.typeIndex, code, entry.handler)
                && entry.handler->Looper() == looper;
        }
        if (deliver)
            entry.handler->MessageReceived(message);
        if (looper != nullptr)
            looper->Unlock();
    }
}
