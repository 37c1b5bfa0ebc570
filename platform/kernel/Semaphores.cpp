// Counting semaphores, kept in one process-wide table.

#include <string>

#include "KernelWait.h"
#include "kernel/OS.h"

using namespace kernel_internal;

namespace {

struct Semaphore : Waitable {
	std::string name;
	int64 count = 0;
	bool deleted = false;
};

ObjectTable<Semaphore>& Table()
{
	static auto* table = new ObjectTable<Semaphore>;
	return *table;
}

std::shared_ptr<Semaphore> Lookup(sem_id id)
{
	return Table().Lookup(id);
}

constexpr size_t kMaxSemaphores = 65536;

}  // namespace

sem_id create_sem(int32 count, const char* name)
{
	if (count < 0)
		return B_BAD_VALUE;
	auto sem = std::make_shared<Semaphore>();
	sem->count = count;
	sem->name = name ? name : "";
	sem_id id = Table().Add(sem, kMaxSemaphores);
	return id < 0 ? B_NO_MORE_SEMS : id;
}

status_t delete_sem(sem_id id)
{
	std::shared_ptr<Semaphore> sem = Table().Remove(id);
	if (!sem)
		return B_BAD_SEM_ID;
	std::lock_guard<std::mutex> guard(sem->mutex);
	sem->deleted = true;
	sem->cv.notify_all();
	return B_OK;
}

status_t acquire_sem(sem_id id)
{
	return acquire_sem_etc(id, 1, 0, 0);
}

status_t acquire_sem_etc(sem_id id, int32 count, uint32 flags, bigtime_t timeout)
{
	if (count < 1)
		return B_BAD_VALUE;
	auto sem = Lookup(id);
	if (!sem)
		return B_BAD_SEM_ID;
	Deadline deadline = MakeDeadline(flags, timeout);
	std::unique_lock<std::mutex> lock(sem->mutex);
	status_t status = WaitUntil(
		lock, sem, deadline, [&] { return sem->count >= count; },
		[&] { return sem->deleted; }, B_BAD_SEM_ID);
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
	auto sem = Lookup(id);
	if (!sem)
		return B_BAD_SEM_ID;
	std::lock_guard<std::mutex> guard(sem->mutex);
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
	auto sem = Lookup(id);
	if (!sem)
		return B_BAD_SEM_ID;
	std::lock_guard<std::mutex> guard(sem->mutex);
	*count = int32(sem->count);
	return B_OK;
}
