#include "media/MediaDefs.h"

#include "kernel/OS.h"

#include <cstdio>

const media_raw_audio_format media_raw_audio_format::wildcard{};
const media_source media_source::null{};
const media_destination media_destination::null{};
const media_node media_node::null{};

const char* media_strerror(status_t status)
{
	switch (status) {
		case B_MEDIA_SYSTEM_FAILURE: return "Media system failure";
		case B_MEDIA_BAD_NODE: return "No such media node";
		case B_MEDIA_NODE_BUSY: return "Media node is busy";
		case B_MEDIA_BAD_FORMAT: return "Media formats cannot be negotiated";
		case B_MEDIA_BAD_BUFFER: return "Bad media buffer";
		case B_MEDIA_TOO_MANY_NODES: return "Too many media nodes";
		case B_MEDIA_TOO_MANY_BUFFERS: return "Too many media buffers";
		case B_MEDIA_NODE_ALREADY_EXISTS: return "Media node already registered";
		case B_MEDIA_CANNOT_SEEK: return "Media node cannot seek";
		case B_MEDIA_CANNOT_CHANGE_RUN_MODE: return "Media node cannot change run mode";
		case B_MEDIA_TIME_SOURCE_STOPPED: return "Time source is stopped";
		case B_MEDIA_BAD_SOURCE: return "No such media output";
		case B_MEDIA_BAD_DESTINATION: return "No such media input, or it is in use";
		case B_MEDIA_ALREADY_CONNECTED: return "Already connected";
		case B_MEDIA_NOT_CONNECTED: return "Not connected";
		case B_MEDIA_ADDON_FAILED: return "Media add-on failed";
		case B_MEDIA_NO_HANDLER: return "No media node reads this file";
		default: return strerror_status(status);
	}
}

media_format media_format::RawAudioFormat(const media_raw_audio_format& raw)
{
	media_format format;
	format.type = B_MEDIA_RAW_AUDIO;
	format.u.raw_audio = raw;
	return format;
}

bool media_format::IsFullySpecified() const
{
	if (type <= B_MEDIA_UNKNOWN_TYPE)
		return false;
	if (type != B_MEDIA_RAW_AUDIO)
		return true;
	const media_raw_audio_format& r = u.raw_audio;
	return r.frame_rate > 0 && r.channel_count != 0 && r.format != 0 && r.byte_order != 0
		&& r.buffer_size != 0;
}

bool operator==(const media_raw_audio_format& a, const media_raw_audio_format& b)
{
	return a.frame_rate == b.frame_rate && a.channel_count == b.channel_count
		&& a.format == b.format && a.byte_order == b.byte_order
		&& a.buffer_size == b.buffer_size && a.channel_mask == b.channel_mask;
}

bool operator==(const media_format& a, const media_format& b)
{
	if (a.type != b.type)
		return false;
	return a.type != B_MEDIA_RAW_AUDIO || a.u.raw_audio == b.u.raw_audio;
}

namespace {

template <class T>
bool FieldsMeet(T a, T b)
{
	return a == T(0) || b == T(0) || a == b;
}

template <class T>
void FillField(T& field, T other)
{
	if (field == T(0))
		field = other;
}

}  // namespace

bool format_is_compatible(const media_format& a, const media_format& b)
{
	// An unknown type on either side is the type wildcard.
	if (a.type != B_MEDIA_UNKNOWN_TYPE && b.type != B_MEDIA_UNKNOWN_TYPE && a.type != b.type)
		return false;
	if (a.type != B_MEDIA_RAW_AUDIO || b.type != B_MEDIA_RAW_AUDIO)
		return true;
	const media_raw_audio_format& x = a.u.raw_audio;
	const media_raw_audio_format& y = b.u.raw_audio;
	return FieldsMeet(x.frame_rate, y.frame_rate) && FieldsMeet(x.channel_count, y.channel_count)
		&& FieldsMeet(x.format, y.format) && FieldsMeet(x.byte_order, y.byte_order)
		&& FieldsMeet(x.buffer_size, y.buffer_size) && FieldsMeet(x.channel_mask, y.channel_mask);
}

void specialize_format(media_format* ioFormat, const media_format& other)
{
	if (ioFormat->type == B_MEDIA_UNKNOWN_TYPE)
		ioFormat->type = other.type;
	if (ioFormat->type != B_MEDIA_RAW_AUDIO || other.type != B_MEDIA_RAW_AUDIO)
		return;
	media_raw_audio_format& x = ioFormat->u.raw_audio;
	const media_raw_audio_format& y = other.u.raw_audio;
	FillField(x.frame_rate, y.frame_rate);
	FillField(x.channel_count, y.channel_count);
	FillField(x.format, y.format);
	FillField(x.byte_order, y.byte_order);
	FillField(x.buffer_size, y.buffer_size);
	FillField(x.channel_mask, y.channel_mask);
}

void string_for_format(const media_format& format, char* buffer, size_t size)
{
	if (buffer == nullptr || size == 0)
		return;
	if (format.type != B_MEDIA_RAW_AUDIO) {
		std::snprintf(buffer, size, "media type %d", int(format.type));
		return;
	}
	const media_raw_audio_format& r = format.u.raw_audio;
	char rate[24] = "any rate";
	if (r.frame_rate > 0)
		std::snprintf(rate, sizeof(rate), "%g Hz", double(r.frame_rate));
	char channels[24] = "any channels";
	if (r.channel_count != 0)
		std::snprintf(channels, sizeof(channels), "%u ch", unsigned(r.channel_count));
	const char* sample = "any sample format";
	switch (r.format) {
		case media_raw_audio_format::B_AUDIO_FLOAT: sample = "float"; break;
		case media_raw_audio_format::B_AUDIO_DOUBLE: sample = "double"; break;
		case media_raw_audio_format::B_AUDIO_INT: sample = "int32"; break;
		case media_raw_audio_format::B_AUDIO_SHORT: sample = "int16"; break;
		case media_raw_audio_format::B_AUDIO_UCHAR: sample = "uint8"; break;
		case media_raw_audio_format::B_AUDIO_CHAR: sample = "int8"; break;
		default: break;
	}
	const char* order = r.byte_order == B_MEDIA_BIG_ENDIAN ? "big-endian"
		: r.byte_order == B_MEDIA_LITTLE_ENDIAN           ? "little-endian"
														  : "any byte order";
	char bytes[32] = "any buffer size";
	if (r.buffer_size != 0)
		std::snprintf(bytes, sizeof(bytes), "%zu bytes", r.buffer_size);
	std::snprintf(buffer, size, "raw audio %s, %s, %s, %s, %s", rate, channels, sample, order,
		bytes);
}

int32 suggest_thread_priority(uint32 what, int32 period, bigtime_t jitter, bigtime_t length)
{
	switch (what) {
		case B_OFFLINE_PROCESSING:
		case B_STATUS_RENDERING:
			return B_NORMAL_PRIORITY;
		case B_USER_INPUT_HANDLING:
			return B_DISPLAY_PRIORITY;
		case B_AUDIO_PLAYBACK:
		case B_AUDIO_RECORDING:
		case B_LIVE_AUDIO_MANIPULATION:
			// Short periods (many buffers a second) need the highest priority.
			return period >= 200 ? B_REAL_TIME_PRIORITY : B_URGENT_PRIORITY;
		case B_VIDEO_PLAYBACK:
		case B_VIDEO_RECORDING:
		case B_LIVE_VIDEO_MANIPULATION:
			return B_REAL_TIME_DISPLAY_PRIORITY;
		default:
			return B_URGENT_DISPLAY_PRIORITY;
	}
}

bigtime_t estimate_max_scheduling_latency(thread_id)
{
	// A Linux desktop wakes a thread of ordinary priority within about half a millisecond.
	return 500;
}
