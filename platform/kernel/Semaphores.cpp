// Counting semaphores, kept in one process-wide table; releasing one takes no global
// lock and allocates nothing.

#include <string>

#include "KernelWait.h"
#include "kernel/OS.h"

using namespace kernel_internal;

namespace {

struct Semaphore : Waitable {
	sem_id id = 0;       // 0 while free; guarded by mutex
	std::string name;
	int64 count = 0;
};

constexpr size_t kMaxSemaphores = 65536;

ObjectTable<Semaphore>& Table()
{
	static auto* table = new ObjectTable<Semaphore>(kMaxSemaphores);
	return *table;
}

}  // namespace

sem_id create_sem(int32 count, const char* name)
{
	if (count < 0)
		return B_BAD_VALUE;
	std::string text = name ? name : "";
	sem_id id = Table().Add([&](Semaphore& sem) {
		sem.count = count;
		sem.name.swap(text);
	});
	return id < 0 ? B_NO_MORE_SEMS : id;
}

status_t delete_sem(sem_id id)
{
	bool removed = Table().Remove(id, [](Semaphore& sem) { sem.count = 0; });
	return removed ? B_OK : B_BAD_SEM_ID;
}

status_t acquire_sem(sem_id id)
{
	return acquire_sem_etc(id, 1, 0, 0);
}

status_t acquire_sem_etc(sem_id id, int32 count, uint32 flags, bigtime_t timeout)
{
	if (count < 1)
		return B_BAD_VALUE;
	const std::shared_ptr<Semaphore>* found = Table().Lookup(id);
	if (found == nullptr)
		return B_BAD_SEM_ID;
	const std::shared_ptr<Semaphore>& sem = *found;
	Deadline deadline = MakeDeadline(flags, timeout);
	std::unique_lock<std::mutex> lock(sem->mutex);
	status_t status = WaitUntil(
		lock, sem, deadline, [&] { return sem->count >= count; },
		[&] { return sem->id != id; }, B_BAD_SEM_ID);
	if (status == B_OK)
		sem->count -= count;
	return status;
}

status_t release_sem(sem_id id)
{
	return release_sem_etc(id, 1, 0);
}

status_t release_sem_etc(sem_id id, int32 count, uint32 flags)
{
	if (count < 1)
		return B_BAD_VALUE;
	const std::shared_ptr<Semaphore>* found = Table().Lookup(id);
	if (found == nullptr)
		return B_BAD_SEM_ID;
	Semaphore* sem = found->get();
	std::lock_guard<std::mutex> guard(sem->mutex);
	if (sem->id != id)
		return B_BAD_SEM_ID;
	if (sem->count > INT32_MAX - int64(count))
		return B_BAD_VALUE;
	sem->count += count;
	sem->cv.notify_all();
	return B_OK;
}

status_t get_sem_count(sem_id id, int32* count)
{
	if (count == nullptr)
		return B_BAD_VALUE;
	const std::shared_ptr<Semaphore>* found = Table().Lookup(id);
	if (found == nullptr)
		return B_BAD_SEM_ID;
	Semaphore* sem = found->get();
	std::lock_guard<std::mutex> guard(sem->mutex);
	if (sem->id != id)
		return B_BAD_SEM_ID;
	*count = int32(sem->count);
	return B_OK;
}
