// Ports: bounded queues of (code, bytes) messages, kept in one process-wide table.
//
// Each port's queue is a ring of fixed slots allocated when the port is made. A message
// of up to kSlotBytes travels inside its slot, so writing and reading it allocate
// nothing; a larger one gets a block of its own, made before the port's lock is taken.
// Finding the port by id takes no global lock (see ObjectTable).

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "KernelWait.h"
#include "kernel/OS.h"

using namespace kernel_internal;

namespace {

constexpr size_t kSlotBytes = 256;
constexpr size_t kMaxPorts = 16384;

struct PortSlot {
	int32 code;
	uint32 size;
	uint8* large;            // the bytes when size > kSlotBytes (owned), else null
	uint8 bytes[kSlotBytes];

	const uint8* Data() const { return large != nullptr ? large : bytes; }
};

struct Port : Waitable {
	port_id id = 0;          // 0 while free; everything here guarded by mutex
	std::string name;
	size_t capacity = 0;
	// Left uninitialised: only slots in use are touched, so a big capacity costs
	// address space, not memory.
	std::unique_ptr<PortSlot[]> slots;
	size_t head = 0;         // the oldest message
	size_t count = 0;
	bool closed = false;

	PortSlot& Front() { return slots[head]; }
	void PopFront()
	{
		delete[] slots[head].large;
		head = (head + 1) % capacity;
		count--;
	}
	void Clear()
	{
		while (count > 0)
			PopFront();
	}
};

ObjectTable<Port>& Table()
{
	static auto* table = new ObjectTable<Port>(kMaxPorts);
	return *table;
}

// The port of this id with its lock held, or null (B_BAD_PORT_ID).
Port* LockPort(port_id id, std::unique_lock<std::mutex>& lock)
{
	const std::shared_ptr<Port>* found = Table().Lookup(id);
	if (found == nullptr)
		return nullptr;
	lock = std::unique_lock<std::mutex>((*found)->mutex);
	if ((*found)->id != id) {
		lock.unlock();
		return nullptr;
	}
	return found->get();
}

// Waits for a message to read; B_OK with one at the front of the queue.
status_t WaitForMessage(std::unique_lock<std::mutex>& lock, port_id id, uint32 flags,
	bigtime_t timeout)
{
	const std::shared_ptr<Port>& port = *Table().Lookup(id);
	Deadline deadline = MakeDeadline(flags, timeout);
	return WaitUntil(
		lock, port, deadline, [&] { return port->count > 0; },
		[&] { return port->id != id || (port->closed && port->count == 0); }, B_BAD_PORT_ID);
}

}  // namespace

port_id create_port(int32 capacity, const char* name)
{
	if (capacity < 1 || capacity > B_MAX_PORT_CAPACITY)
		return B_BAD_VALUE;
	std::unique_ptr<PortSlot[]> slots(new (std::nothrow) PortSlot[size_t(capacity)]);
	if (slots == nullptr)
		return B_NO_MEMORY;
	std::string text = name ? name : "";
	port_id id = Table().Add([&](Port& port) {
		port.name.swap(text);
		port.capacity = size_t(capacity);
		port.slots = std::move(slots);
		port.head = 0;
		port.count = 0;
		port.closed = false;
	});
	return id < 0 ? B_NO_MORE_PORTS : id;
}

port_id find_port(const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	port_id id = Table().Find([name](const Port& port) { return port.name == name; });
	return id < 0 ? B_NAME_NOT_FOUND : id;
}

status_t close_port(port_id id)
{
	std::unique_lock<std::mutex> lock;
	Port* port = LockPort(id, lock);
	if (port == nullptr)
		return B_BAD_PORT_ID;
	port->closed = true;
	port->cv.notify_all();
	return B_OK;
}

status_t delete_port(port_id id)
{
	std::unique_ptr<PortSlot[]> slots;  // freed after the locks are gone
	bool removed = Table().Remove(id, [&](Port& port) {
		port.Clear();
		slots = std::move(port.slots);
		port.name.clear();
	});
	return removed ? B_OK : B_BAD_PORT_ID;
}

status_t write_port(port_id id, int32 code, const void* buffer, size_t bufferSize)
{
	return write_port_etc(id, code, buffer, bufferSize, 0, 0);
}

status_t write_port_etc(port_id id, int32 code, const void* buffer, size_t bufferSize,
	uint32 flags, bigtime_t timeout)
{
	if (bufferSize > B_MAX_PORT_MESSAGE_SIZE || (buffer == nullptr && bufferSize > 0))
		return B_BAD_VALUE;
	std::unique_ptr<uint8[]> large;
	if (bufferSize > kSlotBytes) {
		large.reset(new (std::nothrow) uint8[bufferSize]);
		if (large == nullptr)
			return B_NO_MEMORY;
		std::memcpy(large.get(), buffer, bufferSize);
	}
	std::unique_lock<std::mutex> lock;
	Port* port = LockPort(id, lock);
	if (port == nullptr)
		return B_BAD_PORT_ID;
	const std::shared_ptr<Port>& owner = *Table().Lookup(id);
	Deadline deadline = MakeDeadline(flags, timeout);
	status_t status = WaitUntil(
		lock, owner, deadline, [&] { return port->count < port->capacity; },
		[&] { return port->id != id || port->closed; }, B_BAD_PORT_ID);
	if (status != B_OK)
		return status;
	PortSlot& slot = port->slots[(port->head + port->count) % port->capacity];
	slot.code = code;
	slot.size = uint32(bufferSize);
	slot.large = large.release();
	if (slot.large == nullptr && bufferSize > 0)
		std::memcpy(slot.bytes, buffer, bufferSize);
	port->count++;
	port->cv.notify_all();
	return B_OK;
}

ssize_t read_port(port_id id, int32* code, void* buffer, size_t bufferSize)
{
	return read_port_etc(id, code, buffer, bufferSize, 0, 0);
}

ssize_t read_port_etc(port_id id, int32* code, void* buffer, size_t bufferSize, uint32 flags,
	bigtime_t timeout)
{
	if (code == nullptr || (buffer == nullptr && bufferSize > 0))
		return B_BAD_VALUE;
	std::unique_lock<std::mutex> lock;
	Port* port = LockPort(id, lock);
	if (port == nullptr)
		return B_BAD_PORT_ID;
	status_t status = WaitForMessage(lock, id, flags, timeout);
	if (status != B_OK)
		return status;
	PortSlot& message = port->Front();
	size_t n = message.size < bufferSize ? message.size : bufferSize;
	if (n > 0)
		std::memcpy(buffer, message.Data(), n);
	*code = message.code;
	port->PopFront();
	port->cv.notify_all();
	return ssize_t(n);
}

ssize_t port_buffer_size(port_id id)
{
	return port_buffer_size_etc(id, 0, 0);
}

ssize_t port_buffer_size_etc(port_id id, uint32 flags, bigtime_t timeout)
{
	std::unique_lock<std::mutex> lock;
	Port* port = LockPort(id, lock);
	if (port == nullptr)
		return B_BAD_PORT_ID;
	status_t status = WaitForMessage(lock, id, flags, timeout);
	if (status != B_OK)
		return status;
	return ssize_t(port->Front().size);
}

ssize_t port_count(port_id id)
{
	std::unique_lock<std::mutex> lock;
	Port* port = LockPort(id, lock);
	if (port == nullptr)
		return B_BAD_PORT_ID;
	return ssize_t(port->count);
}
