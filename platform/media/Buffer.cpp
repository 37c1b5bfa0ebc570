#include "media/Buffer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

std::atomic<media_buffer_id> gNextBufferId{1};

struct FreeData {
	void operator()(void* p) const { std::free(p); }
};

}  // namespace

struct BufferGroupState {
	std::mutex lock;
	std::condition_variable returned;
	std::vector<std::unique_ptr<BBuffer>> buffers;
	std::vector<std::unique_ptr<void, FreeData>> storage;
	std::vector<BBuffer*> free;   // guarded by lock; capacity kept >= buffers.size()

	status_t Add(size_t size, BBuffer** outBuffer)
	{
		size_t rounded = (size + 63) / 64 * 64;
		void* data = std::aligned_alloc(64, rounded == 0 ? 64 : rounded);
		if (data == nullptr)
			return B_NO_MEMORY;
		std::unique_ptr<void, FreeData> owned(data);
		try {
			auto buffer = std::unique_ptr<BBuffer>(new BBuffer(this, data, size,
				gNextBufferId.fetch_add(1)));
			std::lock_guard<std::mutex> guard(lock);
			free.reserve(buffers.size() + 1);
			storage.push_back(std::move(owned));
			free.push_back(buffer.get());
			if (outBuffer != nullptr)
				*outBuffer = buffer.get();
			buffers.push_back(std::move(buffer));
		} catch (const std::bad_alloc&) {
			return B_NO_MEMORY;
		}
		return B_OK;
	}

	void Return(BBuffer* buffer)
	{
		std::lock_guard<std::mutex> guard(lock);
		if (!buffer->fLent)
			return;  // recycled twice: the second is ignored
		buffer->fLent = false;
		free.push_back(buffer);  // never grows: capacity reserved in Add
		// Under the lock: a group deleted once its last buffer is back may not find it
		// back before this is done with the state.
		returned.notify_all();
	}

	size_t LentCount()
	{
		return buffers.size() - free.size();
	}
};

BBuffer::BBuffer(BufferGroupState* group, void* data, size_t size, media_buffer_id id)
	: fGroup(group), fData(data), fSize(size)
{
	fHeader.buffer = id;
}

void BBuffer::SetSizeUsed(size_t size)
{
	fHeader.size_used = uint32(size < fSize ? size : fSize);
}

void BBuffer::Recycle()
{
	fGroup->Return(this);
}

BBufferGroup::BBufferGroup(size_t size, int32 count) : fState(new BufferGroupState)
{
	if (size == 0 || count <= 0 || count > 4096) {
		fStatus = B_BAD_VALUE;
		return;
	}
	for (int32 i = 0; i < count && fStatus == B_OK; i++)
		fStatus = fState->Add(size, nullptr);
}

BBufferGroup::BBufferGroup() : fState(new BufferGroupState) {}

BBufferGroup::~BBufferGroup()
{
	if (WaitForBuffers(1000000) != B_OK) {
		// A buffer still out may yet be recycled: retire the group, do not free it.
		return;
	}
	delete fState;
}

BBuffer* BBufferGroup::RequestBuffer(size_t size, bigtime_t timeout, status_t* status)
{
	status_t dummy;
	status_t& result = status != nullptr ? *status : dummy;
	std::unique_lock<std::mutex> guard(fState->lock);
	auto take = [&]() -> BBuffer* {
		for (size_t i = fState->free.size(); i-- > 0;) {
			BBuffer* buffer = fState->free[i];
			if (buffer->fSize >= size) {
				fState->free.erase(fState->free.begin() + long(i));
				buffer->fLent = true;
				media_buffer_id id = buffer->fHeader.buffer;
				buffer->fHeader = media_header{};
				buffer->fHeader.buffer = id;
				return buffer;
			}
		}
		return nullptr;
	};
	bool anyLargeEnough = false;
	for (const auto& buffer : fState->buffers)
		anyLargeEnough = anyLargeEnough || buffer->fSize >= size;
	if (!anyLargeEnough) {
		result = B_MEDIA_BAD_BUFFER;
		return nullptr;
	}
	BBuffer* buffer = take();
	if (buffer == nullptr && timeout > 0) {
		auto ready = [&] {
			buffer = take();
			return buffer != nullptr;
		};
		if (timeout == B_INFINITE_TIMEOUT)
			fState->returned.wait(guard, ready);
		else
			fState->returned.wait_for(guard, std::chrono::microseconds(timeout), ready);
	}
	if (buffer == nullptr) {
		result = timeout == 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
		return nullptr;
	}
	result = B_OK;
	return buffer;
}

status_t BBufferGroup::AddBuffer(size_t size, BBuffer** outBuffer)
{
	if (size == 0)
		return B_BAD_VALUE;
	return fState->Add(size, outBuffer);
}

status_t BBufferGroup::CountBuffers(int32* count) const
{
	if (count == nullptr)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fState->lock);
	*count = int32(fState->buffers.size());
	return B_OK;
}

status_t BBufferGroup::GetBufferList(int32 count, BBuffer** outBuffers) const
{
	if (outBuffers == nullptr || count < 0)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fState->lock);
	for (int32 i = 0; i < count && size_t(i) < fState->buffers.size(); i++)
		outBuffers[i] = fState->buffers[size_t(i)].get();
	return B_OK;
}

status_t BBufferGroup::WaitForBuffers(bigtime_t timeout) const
{
	std::unique_lock<std::mutex> guard(fState->lock);
	bool back = fState->returned.wait_for(guard, std::chrono::microseconds(timeout),
		[&] { return fState->LentCount() == 0; });
	return back ? B_OK : B_TIMED_OUT;
}

int32 BBufferGroup::CountFree() const
{
	std::lock_guard<std::mutex> guard(fState->lock);
	return int32(fState->free.size());
}
