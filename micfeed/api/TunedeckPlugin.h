/* The Tunedeck player's decoder plug-in interface, as the host sees it.
 *
 * A decoder plug-in is a shared library with two exports of C linkage:
 *   decoder_plugin** get_plugin_list(void);   descriptors, ending with a null entry
 *   supported_type*  get_supported_types(void); file types, ending with an all-null record
 * The host calls a descriptor's getplugin with a location; a plug-in that takes it returns
 * its operations record and keeps its own state in *data, which the host passes back to
 * every operation and finally to destroyplugin.
 *
 * Layout: fields in the order given, with the target's natural alignment. On a 32-bit
 * target the descriptor is 44 bytes and the operations record 52; with 8-byte pointers
 * (x86-64) they are 72 and 96. file_info holds no pointer and is 808 bytes everywhere.
 * The static assertions at the end pin every offset.
 *
 * Lifetime: the records and strings a plug-in returns stay valid while the library is
 * loaded. The host owns the configuration message and the file_info record.
 * Threads: the host calls one stream's operations from one thread at a time.
 * Plain C: this header compiles as C11 and as C++.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
class BMessage;
class QWidget;
extern "C" {
#else
typedef struct BMessage BMessage;
typedef struct QWidget QWidget;
#endif

/* Four-character tags of the two records. */
#define TUNEDECK_DESCRIPTOR_MAGIC 0x64657363u /* 'desc' */
#define TUNEDECK_OPERATIONS_MAGIC 0x696e7074u /* 'inpt' */
/* Layout version of both records. */
#define TUNEDECK_RECORD_VERSION 3u
/* file_info.frames of a stream without an end. */
#define TUNEDECK_ENDLESS 0x7fffffff

/* What the host knows about the stream it is opening; plug-ins may ignore it. */
typedef struct plugin_info plugin_info;

/* What a decoder reports about an opened stream. Strings are NUL-terminated. */
typedef struct file_info {
	char name[256];        /* title, may be empty */
	char typedesc[256];    /* what the stream is, for the user */
	char mimetype[256];
	float samplerate;      /* frames per second */
	float bitrate;         /* bits per second */
	int32_t channels;
	int32_t granularity;   /* frames the host should ask for per read */
	int32_t frames;        /* length in frames, TUNEDECK_ENDLESS without an end */
	int32_t samplesize;    /* bytes per sample: 2 is signed 16-bit */
	int32_t byteorder;     /* 1: the host's own byte order */
	int32_t sampletype;    /* 1: signed integer samples */
	int32_t interleaved;   /* 1: frames hold one sample of each channel in turn */
	int32_t framesize;     /* bytes per frame: channels × samplesize */
} file_info;

typedef int32_t (*decoder_open_fn)(void* data, const char* url, const char* header,
	uint32_t size, BMessage* config);
typedef int32_t (*decoder_info_fn)(void* data, file_info* info);
/* Fills buffer with up to frames frames; returns the frames filled, negative on failure. */
typedef int32_t (*decoder_read_fn)(void* data, char* buffer, uint32_t frames);
/* An operation a decoder does not offer: its slot is null. */
typedef void (*decoder_unused_fn)(void);

/* The operations of one opened stream. */
typedef struct decoder_ops {
	uint32_t magic;              /* TUNEDECK_OPERATIONS_MAGIC */
	uint32_t version;            /* TUNEDECK_RECORD_VERSION */
	decoder_open_fn open;
	decoder_unused_fn unused1;
	decoder_info_fn info;
	decoder_read_fn read;
	decoder_unused_fn unused2[7];
} decoder_ops;

/* A plug-in as the host lists it. */
typedef struct decoder_plugin {
	uint32_t magic;              /* TUNEDECK_DESCRIPTOR_MAGIC */
	uint32_t version;            /* TUNEDECK_RECORD_VERSION */
	const char* id;
	uint32_t major;              /* the plug-in's own version: major.minor */
	uint32_t minor;
	const char* name;            /* for the user */
	const char* about;           /* several lines for the user */
	void (*aboutplugin)(void);
	/* A new settings widget that writes into config while it lives (the caller owns
	 * both; config must outlive the widget). */
	QWidget* (*configure)(BMessage* config);
	/* The operations for url with the plug-in's state in *data, or null when the plug-in
	 * does not take url (then *data is left alone). */
	decoder_ops* (*getplugin)(void** data, const char* url, const char* header,
		uint32_t size, plugin_info* info);
	/* Ends a stream; data may be null. */
	void (*destroyplugin)(void* ops, void* data);
} decoder_plugin;

/* A file type a plug-in decodes. */
typedef struct supported_type {
	const char* mimetype;        /* null ends a list */
	const char* longdesc;
	const char* shortdesc;
	const char* extension;
	const char* reserved;
} supported_type;

typedef decoder_plugin** (*get_plugin_list_fn)(void);
typedef supported_type* (*get_supported_types_fn)(void);

#define TUNEDECK_GET_PLUGIN_LIST "get_plugin_list"
#define TUNEDECK_GET_SUPPORTED_TYPES "get_supported_types"

#ifdef __cplusplus
}
#define TUNEDECK_STATIC_ASSERT(condition) static_assert(condition, #condition)
#else
#define TUNEDECK_STATIC_ASSERT(condition) _Static_assert(condition, #condition)
#endif

/* Pointer-sized fields: the 32-bit offset where pointers are 4 bytes, else the 64-bit one. */
#define TUNEDECK_AT(offset32, offset64) (sizeof(void*) == 4 ? (offset32) : (offset64))

TUNEDECK_STATIC_ASSERT(sizeof(void*) == 4 || sizeof(void*) == 8);

TUNEDECK_STATIC_ASSERT(offsetof(file_info, name) == 0);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, typedesc) == 256);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, mimetype) == 512);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, samplerate) == 768);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, bitrate) == 772);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, channels) == 776);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, granularity) == 780);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, frames) == 784);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, samplesize) == 788);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, byteorder) == 792);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, sampletype) == 796);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, interleaved) == 800);
TUNEDECK_STATIC_ASSERT(offsetof(file_info, framesize) == 804);
TUNEDECK_STATIC_ASSERT(sizeof(file_info) == 808);

TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, magic) == 0);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, version) == 4);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, id) == 8);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, major) == TUNEDECK_AT(12, 16));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, minor) == TUNEDECK_AT(16, 20));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, name) == TUNEDECK_AT(20, 24));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, about) == TUNEDECK_AT(24, 32));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, aboutplugin) == TUNEDECK_AT(28, 40));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, configure) == TUNEDECK_AT(32, 48));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, getplugin) == TUNEDECK_AT(36, 56));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_plugin, destroyplugin) == TUNEDECK_AT(40, 64));
TUNEDECK_STATIC_ASSERT(sizeof(decoder_plugin) == TUNEDECK_AT(44, 72));

TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, magic) == 0);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, version) == 4);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, open) == 8);
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, unused1) == TUNEDECK_AT(12, 16));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, info) == TUNEDECK_AT(16, 24));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, read) == TUNEDECK_AT(20, 32));
TUNEDECK_STATIC_ASSERT(offsetof(decoder_ops, unused2) == TUNEDECK_AT(24, 40));
TUNEDECK_STATIC_ASSERT(sizeof(decoder_ops) == TUNEDECK_AT(52, 96));

TUNEDECK_STATIC_ASSERT(sizeof(supported_type) == 5 * sizeof(void*));
