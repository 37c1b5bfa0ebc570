#pragma once
// BFileInterface: a node that reads or writes a file (a sound-file reader or writer).
// The roster's SetRefFor calls SetRef on the node's thread; a reader reports the media's
// duration. SniffRef tells how well the node's kind reads a file (0..1).
//
// Errors: SetRef gives B_MEDIA_NO_HANDLER (or B_MEDIA_BAD_FORMAT) for a file the node
// cannot read, B_ENTRY_NOT_FOUND when there is no such file, a storage error when a file
// to write cannot be made.
// Threads: hooks on the node's thread (MediaNode.h).
#include "kernel/EntryRef.h"
#include "media/MediaNode.h"

class BFileInterface : public virtual BMediaNode {
public:
	virtual status_t SetRef(const entry_ref& file, bool create, bigtime_t* outDuration) = 0;
	virtual status_t GetRef(entry_ref* outRef, char* outMimeType) = 0;
	virtual status_t SniffRef(const entry_ref& file, char* outMimeType, float* outQuality) = 0;
	virtual status_t GetDuration(bigtime_t* outDuration) = 0;

protected:
	BFileInterface();
};
