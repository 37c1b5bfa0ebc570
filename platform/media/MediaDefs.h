#pragma once
// The vocabulary of the media layer: status codes, media types, the raw-audio format and
// its wildcards, the records that name a connection point (media_source,
// media_destination, media_input, media_output), nodes (media_node, live_node_info),
// add-on flavors (flavor_info, dormant_node_info) and the buffer header.
//
// Formats: a media_format is a type plus, for B_MEDIA_RAW_AUDIO, a media_raw_audio_format.
// A field equal to the wildcard's (0 for every raw-audio field) means "any". Two formats
// match (format_is_compatible) when their types agree and every field either side fixes
// equals the other side's or is a wildcard there. specialize_format fills a format's
// wildcards from another. Negotiation narrows a proposal step by step until no wildcard is
// left (see MediaRoster.h, Connect).
//
// Threads: plain values; safe anywhere.

#include "kernel/SupportDefs.h"

#include <cstring>

// Status codes of the media layer, in the media block of kernel/Errors.h.
enum media_error {
	B_MEDIA_SYSTEM_FAILURE = B_MEDIA_ERROR_BASE + 0x100,
	B_MEDIA_BAD_NODE,
	B_MEDIA_NODE_BUSY,
	B_MEDIA_BAD_FORMAT,
	B_MEDIA_BAD_BUFFER,
	B_MEDIA_TOO_MANY_NODES,
	B_MEDIA_TOO_MANY_BUFFERS,
	B_MEDIA_NODE_ALREADY_EXISTS,
	B_MEDIA_BUFFER_ALREADY_EXISTS,
	B_MEDIA_CANNOT_SEEK,
	B_MEDIA_CANNOT_CHANGE_RUN_MODE,
	B_MEDIA_APP_ALREADY_REGISTERED,
	B_MEDIA_APP_NOT_REGISTERED,
	B_MEDIA_CANNOT_RECLAIM_BUFFERS,
	B_MEDIA_BUFFERS_NOT_RECLAIMED,
	B_MEDIA_TIME_SOURCE_STOPPED,
	B_MEDIA_TIME_SOURCE_BUSY,
	B_MEDIA_BAD_SOURCE,
	B_MEDIA_BAD_DESTINATION,
	B_MEDIA_ALREADY_CONNECTED,
	B_MEDIA_NOT_CONNECTED,
	B_MEDIA_BAD_CLIP_FORMAT,
	B_MEDIA_ADDON_FAILED,
	B_MEDIA_ADDON_DISABLED,
	B_MEDIA_CHANGE_IN_PROGRESS,
	B_MEDIA_STALE_CHANGE_COUNT,
	B_MEDIA_ADDON_RESTRICTED,
	B_MEDIA_NO_HANDLER,
	B_MEDIA_DUPLICATE_FORMAT,
	B_MEDIA_REALTIME_DISABLED,
	B_MEDIA_REALTIME_UNAVAILABLE,
};

// A short English text for a status code, media codes included; never null.
const char* media_strerror(status_t status);

typedef int32 media_node_id;
typedef int32 media_addon_id;
typedef int32 media_buffer_id;

enum media_type : int32 {
	B_MEDIA_NO_TYPE = -1,
	B_MEDIA_UNKNOWN_TYPE = 0,
	B_MEDIA_RAW_AUDIO = 1,
	B_MEDIA_RAW_VIDEO,
	B_MEDIA_VBL,
	B_MEDIA_TIMECODE,
	B_MEDIA_MIDI,
	B_MEDIA_TEXT,
	B_MEDIA_HTML,
	B_MEDIA_MULTISTREAM,
	B_MEDIA_PARAMETERS,
	B_MEDIA_ENCODED_AUDIO,
	B_MEDIA_ENCODED_VIDEO,
};

// What a node is; a node is usually several at once (flavor_info::kinds, Kinds()).
enum node_kind : uint64 {
	B_BUFFER_PRODUCER = 0x1,
	B_BUFFER_CONSUMER = 0x2,
	B_TIME_SOURCE = 0x4,
	B_CONTROLLABLE = 0x8,
	B_FILE_INTERFACE = 0x10,
	B_ENTITY_INTERFACE = 0x20,
	B_PHYSICAL_INPUT = 0x10000,
	B_PHYSICAL_OUTPUT = 0x20000,
	B_SYSTEM_MIXER = 0x40000,
};

// Run modes of a node (SetRunModeFor).
enum run_mode {
	B_OFFLINE = 1,           // no real-time deadlines: work as fast as buffers come back
	B_DECREASE_PRECISION,
	B_INCREASE_LATENCY,
	B_DROP_DATA,
	B_RECORDING,             // a capture: buffers stamped when captured, late is fine
};

// What ProducerDataStatus and SendDataStatus report.
enum {
	B_DATA_NOT_AVAILABLE = 1,  // no more data for now (the end of a file)
	B_DATA_AVAILABLE = 2,
	B_PRODUCER_STOPPED = 3,
};

// Byte orders of raw audio.
enum { B_MEDIA_BIG_ENDIAN = 1, B_MEDIA_LITTLE_ENDIAN = 2 };
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define B_MEDIA_HOST_ENDIAN B_MEDIA_BIG_ENDIAN
#else
#define B_MEDIA_HOST_ENDIAN B_MEDIA_LITTLE_ENDIAN
#endif

// Uncompressed audio. Every field 0 is a wildcard. Samples are interleaved by frame.
struct media_raw_audio_format {
	// format values: the low 4 bits are the bytes per sample.
	enum {
		B_AUDIO_FLOAT = 0x24,  // float, -1.0 .. 1.0
		B_AUDIO_DOUBLE = 0x28, // double, -1.0 .. 1.0 (not produced by platform nodes)
		B_AUDIO_INT = 0x4,     // int32, full range
		B_AUDIO_SHORT = 0x2,   // int16
		B_AUDIO_UCHAR = 0x11,  // uint8, 128 is silence
		B_AUDIO_CHAR = 0x1,    // int8
		B_AUDIO_SIZE_MASK = 0xf,
	};

	float frame_rate = 0;     // frames per second
	uint32 channel_count = 0;
	uint32 format = 0;        // one of the values above
	uint32 byte_order = 0;    // B_MEDIA_BIG_ENDIAN or B_MEDIA_LITTLE_ENDIAN
	size_t buffer_size = 0;   // bytes in one buffer
	uint32 channel_mask = 0;  // B_CHANNEL_LEFT | ... ; 0 when not given

	// Every field a wildcard.
	static const media_raw_audio_format wildcard;
};

enum {
	B_CHANNEL_LEFT = 0x1,
	B_CHANNEL_RIGHT = 0x2,
	B_CHANNEL_CENTER = 0x4,
};

// Bytes per sample of a raw-audio format value; 0 for a wildcard or an unknown value.
inline size_t media_sample_size(uint32 format)
{
	return format & media_raw_audio_format::B_AUDIO_SIZE_MASK;
}
// Bytes per frame; 0 while the sample format or the channel count is a wildcard.
inline size_t media_frame_size(const media_raw_audio_format& f)
{
	return media_sample_size(f.format) * f.channel_count;
}

// A type and its description. Only raw audio has a description here; other types
// match on the type alone.
struct media_format {
	media_type type = B_MEDIA_UNKNOWN_TYPE;
	uint32 require_flags = 0;
	uint32 deny_flags = 0;
	// The description of each type (raw audio only here).
	struct {
		media_raw_audio_format raw_audio;
	} u;

	bool IsAudio() const { return type == B_MEDIA_RAW_AUDIO; }
	// The raw-audio description; meaningful for B_MEDIA_RAW_AUDIO.
	media_raw_audio_format& RawAudio() { return u.raw_audio; }
	const media_raw_audio_format& RawAudio() const { return u.raw_audio; }
	// Raw audio with the given description (default: every field a wildcard).
	static media_format RawAudioFormat(
		const media_raw_audio_format& raw = media_raw_audio_format::wildcard);
	// True when no raw-audio field is a wildcard (for raw audio); else a known type.
	bool IsFullySpecified() const;
};

bool operator==(const media_raw_audio_format& a, const media_raw_audio_format& b);
bool operator==(const media_format& a, const media_format& b);

// Whether a format can meet the other: same type, and no field fixed differently.
bool format_is_compatible(const media_format& a, const media_format& b);
// Fills each wildcard field of ioFormat with the other's value.
void specialize_format(media_format* ioFormat, const media_format& other);
// "raw audio 44100 Hz, 2 ch, float, little-endian, 4096 bytes"; wildcards read "any".
void string_for_format(const media_format& format, char* buffer, size_t size);

// One end of a connection: the output of a producer (media_source) or the input of a
// consumer (media_destination): the node's control port and an id the node chose.
struct media_source {
	port_id port = -1;
	int32 id = -1;
	media_source() = default;
	media_source(port_id p, int32 i) : port(p), id(i) {}
	static const media_source null;
	bool operator==(const media_source&) const = default;
};

struct media_destination {
	port_id port = -1;
	int32 id = -1;
	media_destination() = default;
	media_destination(port_id p, int32 i) : port(p), id(i) {}
	static const media_destination null;
	bool operator==(const media_destination&) const = default;
};

// A registered node as others see it.
struct media_node {
	media_node_id node = -1;
	port_id port = -1;
	uint64 kind = 0;          // node_kind bits
	static const media_node null;
	bool operator==(const media_node& o) const { return node == o.node && port == o.port; }
};

constexpr size_t B_MEDIA_NAME_LENGTH = 64;

// A consumer's input: to whom it belongs, where it is connected (source null while
// free) and in which format (the proposed one while free).
struct media_input {
	media_node node;
	media_source source;
	media_destination destination;
	media_format format;
	char name[B_MEDIA_NAME_LENGTH] = {};
	media_input() = default;
};

// A producer's output; destination null while free.
struct media_output {
	media_node node;
	media_source source;
	media_destination destination;
	media_format format;
	char name[B_MEDIA_NAME_LENGTH] = {};
	media_output() = default;
};

// A registered node with a name, for lists and panels.
struct live_node_info {
	media_node node;
	float hint_x = 0, hint_y = 0;
	char name[B_MEDIA_NAME_LENGTH] = {};
};

// A node an add-on can make: add-on id, the flavor's internal id and its name.
struct dormant_node_info {
	media_addon_id addon = -1;
	int32 flavor_id = -1;
	char name[B_MEDIA_NAME_LENGTH] = {};
};

// One kind of node an add-on offers. The strings and format arrays belong to the add-on
// and stay valid until it changes its flavors or goes.
struct flavor_info {
	const char* name = nullptr;
	const char* info = nullptr;
	uint64 kinds = 0;              // node_kind bits
	uint32 flavor_flags = 0;
	int32 internal_id = 0;         // the add-on's own number of this flavor
	int32 possible_count = 0;      // instances at once; 0 = any number
	int32 in_format_count = 0;
	uint32 in_format_flags = 0;
	const media_format* in_formats = nullptr;
	int32 out_format_count = 0;
	uint32 out_format_flags = 0;
	const media_format* out_formats = nullptr;
};

// Describes the data in one BBuffer; travels with it from producer to consumer.
struct media_header {
	media_type type = B_MEDIA_UNKNOWN_TYPE;
	media_buffer_id buffer = 0;
	int32 destination = -1;        // the consumer's destination id
	media_node_id time_source = -1;
	uint32 size_used = 0;          // bytes of data in the buffer
	bigtime_t start_time = 0;      // performance time of the first frame
	uint32 flags = 0;
	int32 user_flags = 0;
};

// Thread priorities suggested for media work (suggest_thread_priority).
enum media_thread_purpose {
	B_VIDEO_PLAYBACK = 1,
	B_AUDIO_PLAYBACK,
	B_VIDEO_RECORDING,
	B_AUDIO_RECORDING,
	B_LIVE_VIDEO_MANIPULATION,
	B_LIVE_AUDIO_MANIPULATION,
	B_OFFLINE_PROCESSING,
	B_STATUS_RENDERING,
	B_USER_INPUT_HANDLING,
	B_DEFAULT_MEDIA_PRIORITY = 0,
};

// A priority for a thread that wakes `period` times a second to do `length` µs of work,
// give or take `jitter` µs: real-time priorities (110..120) for audio, B_NORMAL_PRIORITY
// for offline processing.
int32 suggest_thread_priority(uint32 what = B_DEFAULT_MEDIA_PRIORITY, int32 period = 0,
	bigtime_t jitter = 0, bigtime_t length = 0);
// The time a thread of this machine may wait past its wake-up time (µs), an estimate.
bigtime_t estimate_max_scheduling_latency(thread_id thread = -1);
