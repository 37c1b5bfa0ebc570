#include "support/OrbNotificationRegistry.h"

#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

#include <algorithm>

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
        {
            BAutolock lock(mLock);
            if (!StillDependent(entry.typeIndex, code, entry.handler))
                continue;
            target = BMessenger(entry.handler);   // the handler is alive while subscribed
        }
        if (!target.IsValid() || !target.LockTarget())
            continue;
        BLooper* looper = nullptr;
        target.Target(&looper);
        bool deliver;
        {
            BAutolock lock(mLock);
            deliver = looper != nullptr && StillDependent(entry.typeIndex, code, entry.handler)
                && entry.handler->Looper() == looper;
        }
        if (deliver && looper->IsDrivenExternally() && looper->Thread() != self) {
            // Not ours to call: post a copy, with the looper unlocked so that its thread
            // can make room in a full queue meanwhile.
            looper->Unlock();
            target.SendMessage(message, BMessenger(), B_INFINITE_TIMEOUT);
            continue;
        }
        if (deliver)
            entry.handler->MessageReceived(message);
        if (looper != nullptr)
            looper->Unlock();
    }
}
