// Ports: bounded queues of (code, bytes) messages, kept in one process-wide table.

#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

#include "KernelWait.h"
#include "kernel/OS.h"

using namespace kernel_internal;

namespace {

struct PortMessage {
	int32 code;
	std::vector<uint8> bytes;
};

struct Port : Waitable {
	std::string name;
	size_t capacity = 0;
	std::deque<PortMessage> queue;
	bool closed = false;
	bool deleted = false;
};

ObjectTable<Port>& Table()
{
	static auto* table = new ObjectTable<Port>;
	return *table;
}

std::shared_ptr<Port> Lookup(port_id id)
{
	return Table().Lookup(id);
}

constexpr size_t kMaxPorts = 16384;

// Waits for a message to read; B_OK with one at the front of the queue.
status_t WaitForMessage(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Port>& port,
	uint32 flags, bigtime_t timeout)
{
	Deadline deadline = MakeDeadline(flags, timeout);
	return WaitUntil(
		lock, port, deadline, [&] { return !port->queue.empty(); },
		[&] { return port->deleted || (port->closed && port->queue.empty()); }, B_BAD_PORT_ID);
}

}  // namespace

port_id create_port(int32 capacity, const char* name)
{
	if (capacity < 1 || capacity > B_MAX_PORT_CAPACITY)
		return B_BAD_VALUE;
	auto port = std::make_shared<Port>();
	port->capacity = size_t(capacity);
	port->name = name ? name : "";
	port_id id = Table().Add(port, kMaxPorts);
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
	auto port = Lookup(id);
	if (!port)
		return B_BAD_PORT_ID;
	std::lock_guard<std::mutex> guard(port->mutex);
	port->closed = true;
	port->cv.notify_all();
	return B_OK;
}

status_t delete_port(port_id id)
{
	std::shared_ptr<Port> port = Table().Remove(id);
	if (!port)
		return B_BAD_PORT_ID;
	std::lock_guard<std::mutex> guard(port->mutex);
	port->deleted = true;
	port->queue.clear();
	port->cv.notify_all();
	return B_OK;
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
	auto port = Lookup(id);
	if (!port)
		return B_BAD_PORT_ID;
	PortMessage message{code, {}};
	try {
		message.bytes.assign(static_cast<const uint8*>(buffer),
			static_cast<const uint8*>(buffer) + bufferSize);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	Deadline deadline = MakeDeadline(flags, timeout);
	std::unique_lock<std::mutex> lock(port->mutex);
	status_t status = WaitUntil(
		lock, port, deadline, [&] { return port->queue.size() < port->capacity; },
		[&] { return port->deleted || port->closed; }, B_BAD_PORT_ID);
	if (status != B_OK)
		return status;
	port->queue.push_back(std::move(message));
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
	auto port = Lookup(id);
	if (!port)
		return B_BAD_PORT_ID;
	std::unique_lock<std::mutex> lock(port->mutex);
	status_t status = WaitForMessage(lock, port, flags, timeout);
	if (status != B_OK)
		return status;
	PortMessage& message = port->queue.front();
	size_t n = message.bytes.size() < bufferSize ? message.bytes.size() : bufferSize;
	if (n > 0)
		std::memcpy(buffer, message.bytes.data(), n);
	*code = message.code;
	port->queue.pop_front();
	port->cv.notify_all();
	return ssize_t(n);
}

ssize_t port_buffer_size(port_id id)
{
	return port_buffer_size_etc(id, 0, 0);
}

ssize_t port_buffer_size_etc(port_id id, uint32 flags, bigtime_t timeout)
{
	auto port = Lookup(id);
	if (!port)
		return B_BAD_PORT_ID;
	std::unique_lock<std::mutex> lock(port->mutex);
	status_t status = WaitForMessage(lock, port, flags, timeout);
	if (status != B_OK)
		return status;
	return ssize_t(port->queue.front().bytes.size());
}

ssize_t port_count(port_id id)
{
	auto port = Lookup(id);
	if (!port)
		return B_BAD_PORT_ID;
	std::lock_guard<std::mutex> guard(port->mutex);
	return ssize_t(port->queue.size());
}
