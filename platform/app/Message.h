// BMessage: a command code (`what`) and named, typed fields, each holding one or more
// items of one type.
//
// Field types: int8..int64 and uint8..uint64, bool, float, double, string, pointer,
// point, rect, file reference (entry_ref), nested message, and raw data under any type
// code (AddData/FindData). Add appends an item (a field keeps the type it was created
// with: adding another type gives B_BAD_TYPE); Find reads item `index` (B_NAME_NOT_FOUND,
// B_BAD_TYPE, B_BAD_INDEX); Replace overwrites an existing item. Pointers returned by
// FindString/FindData stay valid until the message is changed or destroyed.
//
// Flatten/Unflatten: a versioned, checksummed byte format of our own. Unflatten checks
// every length against the input and answers B_BAD_DATA (corrupt or truncated) or
// B_NOT_ALLOWED (unknown version) without touching the message; pointers travel as bare
// addresses and mean nothing outside the process.
//
// Replies: a message delivered by a looper knows its sender. SendReply() answers it; a
// sender that waits (BMessenger::SendMessage with a reply) gets B_NO_REPLY when the
// message is deleted unanswered.
//
// Thread rules: a BMessage is a value; one thread uses it at a time.
#pragma once

#include "kernel/SupportDefs.h"

struct BPoint;
struct BRect;
struct entry_ref;
class BHandler;
class BMessenger;
struct BMessagePrivate;

#define B_FIELD_NAME_LENGTH 255

class BMessage {
public:
	uint32 what;

	BMessage();
	explicit BMessage(uint32 what);
	BMessage(const BMessage& other);   // copies the fields, not the sender
	BMessage& operator=(const BMessage& other);
	~BMessage();

	// Fields.
	status_t GetInfo(const char* name, type_code* type, int32* count = nullptr) const;
	status_t GetInfo(const char* name, type_code* type, bool* fixedSize) const;
	// The index-th field of the type (B_ANY_TYPE: of any type), in the order added.
	status_t GetInfo(type_code type, int32 index, const char** name, type_code* typeFound,
		int32* count = nullptr) const;
	int32 CountNames(type_code type) const;
	bool IsEmpty() const;
	void MakeEmpty();
	status_t RemoveName(const char* name);
	status_t RemoveData(const char* name, int32 index = 0);
	bool HasData(const char* name, type_code type, int32 index = 0) const;

	status_t AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
		bool isFixedSize = true, int32 numItems = 1);
	status_t FindData(const char* name, type_code type, int32 index, const void** data,
		ssize_t* numBytes) const;
	status_t FindData(const char* name, type_code type, const void** data, ssize_t* numBytes) const;
	status_t ReplaceData(const char* name, type_code type, int32 index, const void* data,
		ssize_t numBytes);
	status_t ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes);

#define BMESSAGE_TYPED_FIELD(Name, T)                                          \
	status_t Add##Name(const char* name, T value);                             \
	status_t Find##Name(const char* name, int32 index, T* value) const;        \
	status_t Find##Name(const char* name, T* value) const;                     \
	status_t Replace##Name(const char* name, int32 index, T value);            \
	status_t Replace##Name(const char* name, T value);                         \
	bool Has##Name(const char* name, int32 index = 0) const;

	BMESSAGE_TYPED_FIELD(Int8, int8)
	BMESSAGE_TYPED_FIELD(Int16, int16)
	BMESSAGE_TYPED_FIELD(Int32, int32)
	BMESSAGE_TYPED_FIELD(Int64, int64)
	BMESSAGE_TYPED_FIELD(UInt8, uint8)
	BMESSAGE_TYPED_FIELD(UInt16, uint16)
	BMESSAGE_TYPED_FIELD(UInt32, uint32)
	BMESSAGE_TYPED_FIELD(UInt64, uint64)
	BMESSAGE_TYPED_FIELD(Bool, bool)
	BMESSAGE_TYPED_FIELD(Float, float)
	BMESSAGE_TYPED_FIELD(Double, double)
	BMESSAGE_TYPED_FIELD(Pointer, const void*)
	BMESSAGE_TYPED_FIELD(Point, BPoint)
	BMESSAGE_TYPED_FIELD(Rect, BRect)
#undef BMESSAGE_TYPED_FIELD

	// Pointers may also be read into any pointer type: FindPointer("LbPatchI", &patch).
	template <class T>
	status_t FindPointer(const char* name, int32 index, T** value) const
	{
		const void* p = nullptr;
		status_t status = FindPointer(name, index, &p);
		if (value)
			*value = status == B_OK ? static_cast<T*>(const_cast<void*>(p)) : nullptr;
		return status;
	}
	template <class T>
	status_t FindPointer(const char* name, T** value) const
	{
		return FindPointer(name, 0, value);
	}

	status_t AddString(const char* name, const char* value);
	status_t FindString(const char* name, int32 index, const char** value) const;
	status_t FindString(const char* name, const char** value) const;
	status_t ReplaceString(const char* name, int32 index, const char* value);
	status_t ReplaceString(const char* name, const char* value);
	bool HasString(const char* name, int32 index = 0) const;

	status_t AddRef(const char* name, const entry_ref* ref);
	status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
	status_t FindRef(const char* name, entry_ref* ref) const;
	status_t ReplaceRef(const char* name, int32 index, const entry_ref* ref);
	status_t ReplaceRef(const char* name, const entry_ref* ref);
	bool HasRef(const char* name, int32 index = 0) const;

	status_t AddMessage(const char* name, const BMessage* message);
	status_t FindMessage(const char* name, int32 index, BMessage* message) const;
	status_t FindMessage(const char* name, BMessage* message) const;
	status_t ReplaceMessage(const char* name, int32 index, const BMessage* message);
	status_t ReplaceMessage(const char* name, const BMessage* message);
	bool HasMessage(const char* name, int32 index = 0) const;

	// Flattened form.
	ssize_t FlattenedSize() const;
	status_t Flatten(char* buffer, ssize_t size) const;
	status_t Unflatten(const char* buffer, ssize_t size);

	// Delivery and replies.
	bool WasDelivered() const;
	bool IsSourceWaiting() const;
	bool IsReply() const;
	BMessenger ReturnAddress() const;
	status_t SendReply(uint32 command, BHandler* replyTo = nullptr);
	status_t SendReply(BMessage* reply, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT);

	// Diagnostic listing on standard output.
	void PrintToStream() const;

private:
	friend struct BMessagePrivate;
	struct Fields;
	struct Delivery;
	Fields* fFields;
	Delivery* fDelivery;
};
