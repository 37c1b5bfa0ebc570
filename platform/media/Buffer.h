#pragma once
// BBuffer: one block of media data with its header, lent by a BBufferGroup to a producer
// and handed on to a consumer. BBufferGroup: a fixed set of buffers made up front, lent
// out by RequestBuffer and taken back by BBuffer::Recycle.
//
// Lifetime: a buffer belongs to its group; whoever holds it (the producer that requested
// it, then the consumer it was sent to) calls Recycle() exactly once when done, and must
// not touch it afterwards. Deleting a group waits (up to a second) for its lent buffers to
// come back; buffers still out then are retired, not freed, so a late Recycle() stays safe.
// A consumer's SetBufferGroup can make a producer adopt a group made elsewhere.
//
// Threads: RequestBuffer and Recycle may be called from any thread. Neither allocates;
// both hold the group's lock only to take or put one pointer, and a RequestBuffer that
// finds no free buffer waits on a condition variable (up to its time-out).
#include "media/MediaDefs.h"

#include <cstddef>

class BBufferGroup;
struct BufferGroupState;

class BBuffer {
public:
	BBuffer(const BBuffer&) = delete;
	BBuffer& operator=(const BBuffer&) = delete;

	void* Data() const { return fData; }
	// Bytes the buffer holds; Header()->size_used says how many carry data.
	size_t SizeAvailable() const { return fSize; }
	size_t SizeUsed() const { return fHeader.size_used; }
	void SetSizeUsed(size_t size);
	media_header* Header() { return &fHeader; }
	const media_header* Header() const { return &fHeader; }
	media_buffer_id ID() const { return fHeader.buffer; }
	uint32 Flags() const { return 0; }
	// Gives the buffer back to its group (its holder's last act with it).
	void Recycle();

private:
	friend struct BufferGroupState;
	friend class BBufferGroup;
	BBuffer(BufferGroupState* group, void* data, size_t size, media_buffer_id id);

	BufferGroupState* fGroup;
	void* fData;
	size_t fSize;
	media_header fHeader;
	bool fLent = false;   // guarded by the group's lock
};

class BBufferGroup {
public:
	// count buffers of size bytes each; InitCheck() says whether they were made.
	BBufferGroup(size_t size, int32 count = 3);
	// An empty group; AddBuffer fills it (for buffers a node allocates itself).
	BBufferGroup();
	~BBufferGroup();
	BBufferGroup(const BBufferGroup&) = delete;
	BBufferGroup& operator=(const BBufferGroup&) = delete;

	status_t InitCheck() const { return fStatus; }

	// A free buffer of at least size bytes (0: any), its header cleared. Waits up to
	// timeout µs (B_INFINITE_TIMEOUT: as long as needed; 0: not at all) for one to come
	// back; null on time-out, with *status (optional) B_TIMED_OUT, B_WOULD_BLOCK, or
	// B_MEDIA_BAD_BUFFER when no buffer of the group is large enough.
	BBuffer* RequestBuffer(size_t size, bigtime_t timeout = B_INFINITE_TIMEOUT,
		status_t* status = nullptr);
	// A buffer of size bytes made now (not on the buffer path).
	status_t AddBuffer(size_t size, BBuffer** outBuffer = nullptr);

	status_t CountBuffers(int32* count) const;
	// Up to *count buffers of the group (lent or not), for a consumer's records.
	status_t GetBufferList(int32 count, BBuffer** outBuffers) const;
	// Waits until every buffer is back (up to timeout); B_TIMED_OUT otherwise.
	status_t WaitForBuffers(bigtime_t timeout) const;
	int32 CountFree() const;

private:
	BufferGroupState* fState;
	status_t fStatus = B_OK;
};
