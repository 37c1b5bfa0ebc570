// BMessage fields and their flattened form.

#include "app/Message.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "MessageFormat.h"
#include "MessagePrivate.h"
#include "app/AppDefs.h"
#include "kernel/EntryRef.h"
#include "kernel/Geometry.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
	"the flattened message format stores items in host order, which must be little-endian");

namespace {

// Size of one item of a type whose items all have one size; 0 for variable-size types
// (strings, references, messages) and -1 for types we know nothing about.
ssize_t KnownItemSize(type_code type)
{
	switch (type) {
		case B_INT8_TYPE: case B_UINT8_TYPE: case B_BOOL_TYPE: case B_CHAR_TYPE: return 1;
		case B_INT16_TYPE: case B_UINT16_TYPE: return 2;
		case B_INT32_TYPE: case B_UINT32_TYPE: case B_FLOAT_TYPE: case B_RGB_COLOR_TYPE: return 4;
		case B_INT64_TYPE: case B_UINT64_TYPE: case B_DOUBLE_TYPE: return 8;
		case B_POINTER_TYPE: return sizeof(void*);
		case B_POINT_TYPE: return 2 * sizeof(float);
		case B_RECT_TYPE: return 4 * sizeof(float);
		case B_STRING_TYPE: case B_REF_TYPE: case B_MESSAGE_TYPE: return 0;
		default: return -1;
	}
}

struct Field {
	std::string name;
	type_code type = 0;
	bool fixed = false;
	uint32 itemSize = 0;
	std::vector<uint8> bytes;
	std::vector<uint32> offsets;   // start of each item in bytes

	int32 Count() const { return int32(offsets.size()); }
	size_t ItemLength(int32 i) const
	{
		size_t end = size_t(i) + 1 < offsets.size() ? offsets[size_t(i) + 1] : bytes.size();
		return end - offsets[size_t(i)];
	}
	const uint8* ItemData(int32 i) const { return bytes.data() + offsets[size_t(i)]; }
};

bool ValidName(const char* name)
{
	if (name == nullptr)
		return false;
	size_t n = strnlen(name, B_FIELD_NAME_LENGTH + 1);
	return n > 0 && n <= B_FIELD_NAME_LENGTH;
}

// Content rules of the variable-size types we know: strings and references end with a
// NUL; messages are valid flattened messages.
bool ValidItemContent(type_code type, const uint8* data, size_t size, int depth);

}  // namespace

struct BMessage::Fields {
	std::vector<Field> list;

	Field* Find(const char* name)
	{
		for (Field& f : list)
			if (f.name == name)
				return &f;
		return nullptr;
	}
	const Field* Find(const char* name) const { return const_cast<Fields*>(this)->Find(name); }
};

struct BMessage::Delivery {
	std::shared_ptr<ReplyChannel> channel;
	BMessenger returnAddress;
	bool delivered = false;
	bool isReply = false;
	bool replied = false;
};

// --- parsing of the flattened form, shared by Unflatten and content checks ---

namespace {

struct Reader {
	const uint8* p;
	size_t left;

	bool Take(size_t n, const uint8** out)
	{
		if (n > left)
			return false;
		*out = p;
		p += n;
		left -= n;
		return true;
	}
	bool U8(uint8* v)
	{
		const uint8* b;
		if (!Take(1, &b))
			return false;
		*v = b[0];
		return true;
	}
	bool U16(uint16* v)
	{
		const uint8* b;
		if (!Take(2, &b))
			return false;
		*v = uint16(b[0] | (b[1] << 8));
		return true;
	}
	bool U32(uint32* v)
	{
		const uint8* b;
		if (!Take(4, &b))
			return false;
		*v = uint32(b[0]) | (uint32(b[1]) << 8) | (uint32(b[2]) << 16) | (uint32(b[3]) << 24);
		return true;
	}
};

void PutU16(std::vector<uint8>& out, uint16 v)
{
	out.push_back(uint8(v));
	out.push_back(uint8(v >> 8));
}

void PutU32(std::vector<uint8>& out, uint32 v)
{
	for (int i = 0; i < 4; i++)
		out.push_back(uint8(v >> (8 * i)));
}

// Parses a flattened message into what/fields; B_BAD_DATA on any inconsistency.
status_t Parse(const uint8* data, size_t size, int depth, uint32* what,
	std::vector<Field>* fields)
{
	using namespace message_format;
	if (depth > kMaxDepth)
		return B_BAD_DATA;
	if (data == nullptr || size < kHeaderSize + kTrailerSize)
		return B_BAD_DATA;
	if (std::memcmp(data, kMagic, 4) != 0)
		return B_BAD_DATA;
	Reader r{data + 4, size - 4};
	uint16 version, reserved;
	uint32 total, whatCode, fieldCount;
	r.U16(&version);
	r.U16(&reserved);
	if (version != kVersion)
		return B_NOT_ALLOWED;
	r.U32(&total);
	r.U32(&whatCode);
	r.U32(&fieldCount);
	if (total != size)
		return B_BAD_DATA;
	const uint8* crcBytes = data + size - kTrailerSize;
	uint32 stored = uint32(crcBytes[0]) | (uint32(crcBytes[1]) << 8) | (uint32(crcBytes[2]) << 16)
		| (uint32(crcBytes[3]) << 24);
	if (Crc32(data, size - kTrailerSize) != stored)
		return B_BAD_DATA;
	r.left -= kTrailerSize;
	// The smallest field takes 4 + 1 + 1 + 1 + 4 + 4 + 1 bytes.
	if (fieldCount > r.left / 16)
		return B_BAD_DATA;
	std::vector<Field> parsed;
	std::unordered_set<std::string_view> names;   // duplicate check in linear time
	try {
		parsed.reserve(fieldCount);
		names.reserve(fieldCount);
		for (uint32 i = 0; i < fieldCount; i++) {
			Field f;
			uint8 flags, nameLength;
			uint32 count;
			const uint8* name;
			if (!r.U32(&f.type) || !r.U8(&flags) || !r.U8(&nameLength) || nameLength == 0
				|| !r.Take(nameLength, &name) || !r.U32(&count) || count == 0)
				return B_BAD_DATA;
			if (flags & ~1u)
				return B_BAD_DATA;
			std::string_view nameView(reinterpret_cast<const char*>(name), nameLength);
			if (nameView.find('\0') != std::string_view::npos || !names.insert(nameView).second)
				return B_BAD_DATA;
			f.name.assign(nameView);
			f.fixed = flags & 1;
			ssize_t known = KnownItemSize(f.type);
			if (f.type == B_ANY_TYPE || (known > 0 && !f.fixed) || (known == 0 && f.fixed))
				return B_BAD_DATA;
			if (f.fixed) {
				if (!r.U32(&f.itemSize) || f.itemSize == 0)
					return B_BAD_DATA;
				if (known > 0 && f.itemSize != size_t(known))
					return B_BAD_DATA;
				if (uint64(count) * f.itemSize > r.left)
					return B_BAD_DATA;
				const uint8* items;
				r.Take(size_t(count) * f.itemSize, &items);
				f.bytes.assign(items, items + size_t(count) * f.itemSize);
				f.offsets.resize(count);
				for (uint32 k = 0; k < count; k++)
					f.offsets[k] = k * f.itemSize;
			} else {
				// Each item takes at least its 4-byte size.
				if (count > r.left / 4)
					return B_BAD_DATA;
				f.offsets.reserve(count);
				for (uint32 k = 0; k < count; k++) {
					uint32 itemSize;
					const uint8* item;
					if (!r.U32(&itemSize) || !r.Take(itemSize, &item))
						return B_BAD_DATA;
					if (!ValidItemContent(f.type, item, itemSize, depth))
						return B_BAD_DATA;
					f.offsets.push_back(uint32(f.bytes.size()));
					f.bytes.insert(f.bytes.end(), item, item + itemSize);
				}
			}
			parsed.push_back(std::move(f));
		}
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	if (r.left != 0)
		return B_BAD_DATA;
	*what = whatCode;
	if (fields)
		*fields = std::move(parsed);
	return B_OK;
}

bool ValidItemContent(type_code type, const uint8* data, size_t size, int depth)
{
	switch (type) {
		case B_STRING_TYPE:
		case B_REF_TYPE:
			return size > 0 && data[size - 1] == '\0';
		case B_MESSAGE_TYPE: {
			uint32 what;
			return Parse(data, size, depth + 1, &what, nullptr) == B_OK;
		}
		default:
			return true;
	}
}

}  // namespace

namespace message_format {

uint32_t Crc32(const uint8_t* data, size_t size)
{
	static const auto table = [] {
		struct Table { uint32_t v[256]; } t{};
		for (uint32_t i = 0; i < 256; i++) {
			uint32_t c = i;
			for (int k = 0; k < 8; k++)
				c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
			t.v[i] = c;
		}
		return t;
	}();
	uint32_t crc = 0xFFFFFFFFu;
	for (size_t i = 0; i < size; i++)
		crc = table.v[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
	return crc ^ 0xFFFFFFFFu;
}

}  // namespace message_format

// --- construction ---

BMessage::BMessage() : what(0), fFields(new Fields), fDelivery(nullptr)
{
}

BMessage::BMessage(uint32 command) : what(command), fFields(new Fields), fDelivery(nullptr)
{
}

BMessage::BMessage(const BMessage& other)
	: what(other.what), fFields(new Fields(*other.fFields)), fDelivery(nullptr)
{
}

BMessage& BMessage::operator=(const BMessage& other)
{
	if (this != &other) {
		*fFields = *other.fFields;
		what = other.what;
	}
	return *this;
}

BMessage::~BMessage()
{
	if (fDelivery) {
		// A sender still waiting learns that no answer will come.
		if (fDelivery->channel && !fDelivery->replied)
			fDelivery->channel->Answer(BMessage(B_NO_REPLY));
		delete fDelivery;
	}
	delete fFields;
}

// --- field access ---

status_t BMessage::GetInfo(const char* name, type_code* type, int32* count) const
{
	if (name == nullptr)
		return B_BAD_VALUE;
	const Field* f = fFields->Find(name);
	if (f == nullptr)
		return B_NAME_NOT_FOUND;
	if (type)
		*type = f->type;
	if (count)
		*count = f->Count();
	return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* type, bool* fixedSize) const
{
	if (name == nullptr)
		return B_BAD_VALUE;
	const Field* f = fFields->Find(name);
	if (f == nullptr)
		return B_NAME_NOT_FOUND;
	if (type)
		*type = f->type;
	if (fixedSize)
		*fixedSize = f->fixed;
	return B_OK;
}

status_t BMessage::GetInfo(type_code type, int32 index, const char** name, type_code* typeFound,
	int32* count) const
{
	if (index < 0)
		return B_BAD_INDEX;
	int32 seen = 0;
	for (const Field& f : fFields->list) {
		if (type != B_ANY_TYPE && f.type != type)
			continue;
		if (seen++ == index) {
			if (name)
				*name = f.name.c_str();
			if (typeFound)
				*typeFound = f.type;
			if (count)
				*count = f.Count();
			return B_OK;
		}
	}
	return seen == 0 ? B_BAD_TYPE : B_BAD_INDEX;
}

int32 BMessage::CountNames(type_code type) const
{
	int32 n = 0;
	for (const Field& f : fFields->list)
		if (type == B_ANY_TYPE || f.type == type)
			n++;
	return n;
}

bool BMessage::IsEmpty() const
{
	return fFields->list.empty();
}

void BMessage::MakeEmpty()
{
	fFields->list.clear();
}

status_t BMessage::RemoveName(const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	auto& list = fFields->list;
	for (auto it = list.begin(); it != list.end(); ++it) {
		if (it->name == name) {
			list.erase(it);
			return B_OK;
		}
	}
	return B_NAME_NOT_FOUND;
}

status_t BMessage::RemoveData(const char* name, int32 index)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	Field* f = fFields->Find(name);
	if (f == nullptr)
		return B_NAME_NOT_FOUND;
	if (index < 0 || index >= f->Count())
		return B_BAD_INDEX;
	if (f->Count() == 1)
		return RemoveName(name);
	size_t start = f->offsets[size_t(index)];
	size_t length = f->ItemLength(index);
	f->bytes.erase(f->bytes.begin() + ptrdiff_t(start), f->bytes.begin() + ptrdiff_t(start + length));
	f->offsets.erase(f->offsets.begin() + index);
	for (size_t k = size_t(index); k < f->offsets.size(); k++)
		f->offsets[k] -= uint32(length);
	return B_OK;
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
	const void* data;
	ssize_t size;
	return FindData(name, type, index, &data, &size) == B_OK;
}

status_t BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
	bool isFixedSize, int32)
{
	if (!ValidName(name) || numBytes < 0 || (data == nullptr && numBytes > 0))
		return B_BAD_VALUE;
	if (type == B_ANY_TYPE)
		return B_BAD_TYPE;
	ssize_t known = KnownItemSize(type);
	bool fixed = known > 0 || (known < 0 && isFixedSize);
	if (known > 0 && numBytes != known)
		return B_BAD_VALUE;
	if (fixed && numBytes == 0)
		return B_BAD_VALUE;
	if (known == 0
		&& !ValidItemContent(type, static_cast<const uint8*>(data), size_t(numBytes), 0))
		return B_BAD_VALUE;
	Field* f = fFields->Find(name);
	try {
		if (f == nullptr) {
			Field created;
			created.name = name;
			created.type = type;
			created.fixed = fixed;
			created.itemSize = fixed ? uint32(numBytes) : 0;
			fFields->list.push_back(std::move(created));
			f = &fFields->list.back();
		} else {
			if (f->type != type)
				return B_BAD_TYPE;
			if (f->fixed && size_t(numBytes) != f->itemSize)
				return B_BAD_VALUE;
		}
		if (f->bytes.size() + size_t(numBytes) > UINT32_MAX)
			return B_NO_MEMORY;
		const uint8* bytes = static_cast<const uint8*>(data);
		f->offsets.push_back(uint32(f->bytes.size()));
		f->bytes.insert(f->bytes.end(), bytes, bytes + numBytes);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
	ssize_t* numBytes) const
{
	if (name == nullptr || data == nullptr)
		return B_BAD_VALUE;
	const Field* f = fFields->Find(name);
	if (f == nullptr)
		return B_NAME_NOT_FOUND;
	if (type != B_ANY_TYPE && f->type != type)
		return B_BAD_TYPE;
	if (index < 0 || index >= f->Count())
		return B_BAD_INDEX;
	*data = f->ItemData(index);
	if (numBytes)
		*numBytes = ssize_t(f->ItemLength(index));
	return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
	ssize_t* numBytes) const
{
	return FindData(name, type, 0, data, numBytes);
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
	ssize_t numBytes)
{
	if (name == nullptr || numBytes < 0 || (data == nullptr && numBytes > 0))
		return B_BAD_VALUE;
	Field* f = fFields->Find(name);
	if (f == nullptr)
		return B_NAME_NOT_FOUND;
	if (type != B_ANY_TYPE && f->type != type)
		return B_BAD_TYPE;
	if (index < 0 || index >= f->Count())
		return B_BAD_INDEX;
	if (f->fixed && size_t(numBytes) != f->itemSize)
		return B_BAD_VALUE;
	if (KnownItemSize(f->type) == 0
		&& !ValidItemContent(f->type, static_cast<const uint8*>(data), size_t(numBytes), 0))
		return B_BAD_VALUE;
	const uint8* bytes = static_cast<const uint8*>(data);
	size_t start = f->offsets[size_t(index)];
	size_t oldLength = f->ItemLength(index);
	try {
		if (oldLength == size_t(numBytes)) {
			if (numBytes > 0)
				std::memcpy(f->bytes.data() + start, bytes, size_t(numBytes));
			return B_OK;
		}
		if (f->bytes.size() - oldLength + size_t(numBytes) > UINT32_MAX)
			return B_NO_MEMORY;
		std::vector<uint8> rebuilt;
		rebuilt.reserve(f->bytes.size() - oldLength + size_t(numBytes));
		rebuilt.insert(rebuilt.end(), f->bytes.begin(), f->bytes.begin() + ptrdiff_t(start));
		rebuilt.insert(rebuilt.end(), bytes, bytes + numBytes);
		rebuilt.insert(rebuilt.end(), f->bytes.begin() + ptrdiff_t(start + oldLength), f->bytes.end());
		f->bytes.swap(rebuilt);
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	int64 delta = int64(numBytes) - int64(oldLength);
	for (size_t k = size_t(index) + 1; k < f->offsets.size(); k++)
		f->offsets[k] = uint32(int64(f->offsets[k]) + delta);
	return B_OK;
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes)
{
	return ReplaceData(name, type, 0, data, numBytes);
}

// --- typed fields ---

#define BMESSAGE_TYPED_FIELD_IMPL(Name, T, TypeCode)                                       \
	status_t BMessage::Add##Name(const char* name, T value)                                \
	{                                                                                      \
		return AddData(name, TypeCode, &value, sizeof(T), true, 1);                        \
	}                                                                                      \
	status_t BMessage::Find##Name(const char* name, int32 index, T* value) const           \
	{                                                                                      \
		if (value == nullptr)                                                              \
			return B_BAD_VALUE;                                                            \
		const void* data;                                                                  \
		ssize_t size;                                                                      \
		status_t status = FindData(name, TypeCode, index, &data, &size);                  \
		if (status == B_OK)                                                                \
			std::memcpy(static_cast<void*>(value), data, sizeof(T));                       \
		return status;                                                                     \
	}                                                                                      \
	status_t BMessage::Find##Name(const char* name, T* value) const                        \
	{                                                                                      \
		return Find##Name(name, 0, value);                                                 \
	}                                                                                      \
	status_t BMessage::Replace##Name(const char* name, int32 index, T value)               \
	{                                                                                      \
		return ReplaceData(name, TypeCode, index, &value, sizeof(T));                      \
	}                                                                                      \
	status_t BMessage::Replace##Name(const char* name, T value)                            \
	{                                                                                      \
		return Replace##Name(name, 0, value);                                              \
	}                                                                                      \
	bool BMessage::Has##Name(const char* name, int32 index) const                          \
	{                                                                                      \
		return HasData(name, TypeCode, index);                                             \
	}

BMESSAGE_TYPED_FIELD_IMPL(Int8, int8, B_INT8_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Int16, int16, B_INT16_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Int32, int32, B_INT32_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Int64, int64, B_INT64_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(UInt8, uint8, B_UINT8_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(UInt16, uint16, B_UINT16_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(UInt32, uint32, B_UINT32_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(UInt64, uint64, B_UINT64_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Float, float, B_FLOAT_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Double, double, B_DOUBLE_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Pointer, const void*, B_POINTER_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Point, BPoint, B_POINT_TYPE)
BMESSAGE_TYPED_FIELD_IMPL(Rect, BRect, B_RECT_TYPE)
#undef BMESSAGE_TYPED_FIELD_IMPL

// Booleans are stored as one byte 0 or 1 (a flattened byte other than 0 reads as true).
status_t BMessage::AddBool(const char* name, bool value)
{
	uint8 b = value ? 1 : 0;
	return AddData(name, B_BOOL_TYPE, &b, 1);
}

status_t BMessage::FindBool(const char* name, int32 index, bool* value) const
{
	if (value == nullptr)
		return B_BAD_VALUE;
	const void* data;
	ssize_t size;
	status_t status = FindData(name, B_BOOL_TYPE, index, &data, &size);
	if (status == B_OK)
		*value = *static_cast<const uint8*>(data) != 0;
	return status;
}

status_t BMessage::FindBool(const char* name, bool* value) const
{
	return FindBool(name, 0, value);
}

status_t BMessage::ReplaceBool(const char* name, int32 index, bool value)
{
	uint8 b = value ? 1 : 0;
	return ReplaceData(name, B_BOOL_TYPE, index, &b, 1);
}

status_t BMessage::ReplaceBool(const char* name, bool value)
{
	return ReplaceBool(name, 0, value);
}

bool BMessage::HasBool(const char* name, int32 index) const
{
	return HasData(name, B_BOOL_TYPE, index);
}

status_t BMessage::AddString(const char* name, const char* value)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	return AddData(name, B_STRING_TYPE, value, ssize_t(std::strlen(value) + 1), false);
}

status_t BMessage::FindString(const char* name, int32 index, const char** value) const
{
	if (value == nullptr)
		return B_BAD_VALUE;
	const void* data;
	ssize_t size;
	status_t status = FindData(name, B_STRING_TYPE, index, &data, &size);
	*value = status == B_OK ? static_cast<const char*>(data) : nullptr;
	return status;
}

status_t BMessage::FindString(const char* name, const char** value) const
{
	return FindString(name, 0, value);
}

status_t BMessage::ReplaceString(const char* name, int32 index, const char* value)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	return ReplaceData(name, B_STRING_TYPE, index, value, ssize_t(std::strlen(value) + 1));
}

status_t BMessage::ReplaceString(const char* name, const char* value)
{
	return ReplaceString(name, 0, value);
}

bool BMessage::HasString(const char* name, int32 index) const
{
	return HasData(name, B_STRING_TYPE, index);
}

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	return AddData(name, B_REF_TYPE, ref->path.c_str(), ssize_t(ref->path.size() + 1), false);
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	const void* data;
	ssize_t size;
	status_t status = FindData(name, B_REF_TYPE, index, &data, &size);
	if (status == B_OK)
		ref->path = static_cast<const char*>(data);
	return status;
}

status_t BMessage::FindRef(const char* name, entry_ref* ref) const
{
	return FindRef(name, 0, ref);
}

status_t BMessage::ReplaceRef(const char* name, int32 index, const entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	return ReplaceData(name, B_REF_TYPE, index, ref->path.c_str(), ssize_t(ref->path.size() + 1));
}

status_t BMessage::ReplaceRef(const char* name, const entry_ref* ref)
{
	return ReplaceRef(name, 0, ref);
}

bool BMessage::HasRef(const char* name, int32 index) const
{
	return HasData(name, B_REF_TYPE, index);
}

namespace {

status_t FlattenToVector(const BMessage& message, std::vector<char>& out)
{
	ssize_t size = message.FlattenedSize();
	if (size < 0)
		return status_t(size);
	try {
		out.resize(size_t(size));
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	return message.Flatten(out.data(), size);
}

}  // namespace

status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	std::vector<char> flat;
	status_t status = FlattenToVector(*message, flat);
	if (status != B_OK)
		return status;
	return AddData(name, B_MESSAGE_TYPE, flat.data(), ssize_t(flat.size()), false);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	const void* data;
	ssize_t size;
	status_t status = FindData(name, B_MESSAGE_TYPE, index, &data, &size);
	if (status != B_OK)
		return status;
	return message->Unflatten(static_cast<const char*>(data), size);
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
	return FindMessage(name, 0, message);
}

status_t BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	std::vector<char> flat;
	status_t status = FlattenToVector(*message, flat);
	if (status != B_OK)
		return status;
	return ReplaceData(name, B_MESSAGE_TYPE, index, flat.data(), ssize_t(flat.size()));
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
	return ReplaceMessage(name, 0, message);
}

bool BMessage::HasMessage(const char* name, int32 index) const
{
	return HasData(name, B_MESSAGE_TYPE, index);
}

// --- flattening ---

ssize_t BMessage::FlattenedSize() const
{
	using namespace message_format;
	uint64 size = kHeaderSize + kTrailerSize;
	for (const Field& f : fFields->list) {
		size += 4 + 1 + 1 + f.name.size() + 4;
		size += f.fixed ? 4 : 4 * uint64(f.offsets.size());
		size += f.bytes.size();
	}
	if (size > UINT32_MAX)
		return B_NO_MEMORY;
	return ssize_t(size);
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
	using namespace message_format;
	ssize_t needed = FlattenedSize();
	if (needed < 0)
		return status_t(needed);
	if (buffer == nullptr || size < needed)
		return B_BAD_VALUE;
	std::vector<uint8> out;
	try {
		out.reserve(size_t(needed));
		out.insert(out.end(), kMagic, kMagic + 4);
		PutU16(out, kVersion);
		PutU16(out, 0);
		PutU32(out, uint32(needed));
		PutU32(out, what);
		PutU32(out, uint32(fFields->list.size()));
		for (const Field& f : fFields->list) {
			PutU32(out, f.type);
			out.push_back(f.fixed ? 1 : 0);
			out.push_back(uint8(f.name.size()));
			out.insert(out.end(), f.name.begin(), f.name.end());
			PutU32(out, uint32(f.Count()));
			if (f.fixed) {
				PutU32(out, f.itemSize);
				out.insert(out.end(), f.bytes.begin(), f.bytes.end());
			} else {
				for (int32 i = 0; i < f.Count(); i++) {
					PutU32(out, uint32(f.ItemLength(i)));
					out.insert(out.end(), f.ItemData(i), f.ItemData(i) + f.ItemLength(i));
				}
			}
		}
		PutU32(out, Crc32(out.data(), out.size()));
	} catch (const std::bad_alloc&) {
		return B_NO_MEMORY;
	}
	std::memcpy(buffer, out.data(), out.size());
	return B_OK;
}

status_t BMessage::Unflatten(const char* buffer, ssize_t size)
{
	if (buffer == nullptr || size < 0)
		return B_BAD_VALUE;
	uint32 whatCode;
	std::vector<Field> fields;
	status_t status =
		Parse(reinterpret_cast<const uint8*>(buffer), size_t(size), 0, &whatCode, &fields);
	if (status != B_OK)
		return status;
	what = whatCode;
	fFields->list = std::move(fields);
	return B_OK;
}

// --- delivery ---

bool BMessage::WasDelivered() const
{
	return fDelivery && fDelivery->delivered;
}

bool BMessage::IsSourceWaiting() const
{
	return fDelivery && fDelivery->channel && !fDelivery->replied;
}

bool BMessage::IsReply() const
{
	return fDelivery && fDelivery->isReply;
}

BMessenger BMessage::ReturnAddress() const
{
	return fDelivery ? fDelivery->returnAddress : BMessenger();
}

status_t BMessage::SendReply(uint32 command, BHandler* replyTo)
{
	BMessage reply(command);
	return SendReply(&reply, replyTo);
}

status_t BMessage::SendReply(BMessage* reply, BHandler* replyTo, bigtime_t timeout)
{
	if (reply == nullptr)
		return B_BAD_VALUE;
	if (fDelivery == nullptr)
		return B_BAD_REPLY;
	if (fDelivery->replied)
		return B_DUPLICATE_REPLY;
	if (fDelivery->channel) {
		fDelivery->replied = true;
		BMessage answer(*reply);
		return fDelivery->channel->Answer(answer) ? B_OK : B_DUPLICATE_REPLY;
	}
	if (!fDelivery->returnAddress.IsValid())
		return B_BAD_REPLY;
	fDelivery->replied = true;
	return BMessagePrivate::PostReply(fDelivery->returnAddress, *reply, replyTo, timeout);
}

void BMessage::PrintToStream() const
{
	auto fourCC = [](uint32 code, char out[5]) {
		for (int i = 0; i < 4; i++) {
			char c = char(code >> (24 - 8 * i));
			out[i] = (c >= 32 && c < 127) ? c : '.';
		}
		out[4] = 0;
	};
	char code[5];
	fourCC(what, code);
	std::printf("BMessage('%s') {\n", code);
	for (const Field& f : fFields->list) {
		char type[5];
		fourCC(f.type, type);
		for (int32 i = 0; i < f.Count(); i++) {
			std::printf("        %s, type = '%s', ", f.name.c_str(), type);
			const uint8* d = f.ItemData(i);
			switch (f.type) {
				case B_INT8_TYPE: std::printf("%d\n", int(int8(d[0]))); break;
				case B_BOOL_TYPE: std::printf("%s\n", d[0] ? "true" : "false"); break;
				case B_INT32_TYPE: {
					int32 v;
					std::memcpy(&v, d, 4);
					std::printf("%d\n", int(v));
					break;
				}
				case B_STRING_TYPE:
				case B_REF_TYPE: std::printf("\"%s\"\n", reinterpret_cast<const char*>(d)); break;
				default: std::printf("%zu bytes\n", f.ItemLength(i)); break;
			}
		}
	}
	std::printf("}\n");
	std::fflush(stdout);
}

// --- private access for loopers and messengers ---

bool ReplyChannel::Answer(const BMessage& message)
{
	std::lock_guard<std::mutex> guard(mutex);
	if (done)
		return false;
	reply = message;
	BMessagePrivate::MarkReply(&reply);
	done = true;
	cv.notify_all();
	return true;
}

void BMessagePrivate::SetReplyChannel(BMessage* message, std::shared_ptr<ReplyChannel> channel)
{
	(message->fDelivery ? message->fDelivery : (message->fDelivery = new BMessage::Delivery))->channel = std::move(channel);
}

void BMessagePrivate::SetReturnAddress(BMessage* message, const BMessenger& returnAddress)
{
	(message->fDelivery ? message->fDelivery : (message->fDelivery = new BMessage::Delivery))->returnAddress = returnAddress;
}

void BMessagePrivate::MarkDelivered(BMessage* message)
{
	(message->fDelivery ? message->fDelivery : (message->fDelivery = new BMessage::Delivery))->delivered = true;
}

void BMessagePrivate::MarkReply(BMessage* message)
{
	(message->fDelivery ? message->fDelivery : (message->fDelivery = new BMessage::Delivery))->isReply = true;
}
