#pragma once
// The reader and writer of every text document (patch libraries, the clipboard, the studio
// and window-state settings, device caches). See LbXmlStream for the format.
#include <cstdint>
#include <sys/types.h>
#include <vector>

class LbStatusWormholeI;

class LbXmlStreamI {
public:
    // Attribute lists: keys and values at the same positions. Lists filled by the reader
    // hold strings allocated with malloc that the caller frees (LbFreeStrings).
    typedef std::vector<char*> StringList;
    typedef std::vector<const char*> ConstStringList;

    virtual ~LbXmlStreamI() = default;
    virtual void PushTab() = 0;
    virtual void PopTab() = 0;
    // The next tag's name (malloc'd; "/name" for an end tag), or null at the end of the
    // document. Fills keys and values with the tag's attributes when both are given.
    virtual char* ReadNextTag(StringList* keys = nullptr, StringList* values = nullptr) = 0;
    // All text up to "</tagName>" (malloc'd), or null when it never comes.
    virtual char* ReadStrToTag(const char* tagName) = 0;
    // Writes return the bytes written or a negative status (below 1 means failure).
    virtual ssize_t WriteStartTag(const char* name, const ConstStringList* keys = nullptr,
                                  const ConstStringList* values = nullptr) = 0;
    virtual ssize_t WriteEndTag(const char* name) = 0;
    virtual ssize_t Write(const void* bytes, size_t length) = 0;
    virtual ssize_t WriteChar(char c) = 0;
    virtual ssize_t WriteCR() = 0;
    virtual ssize_t WriteSpace() = 0;
    virtual ssize_t WriteTabs() = 0;
    virtual int32_t Version() = 0;

    // Readers keep what they can of a damaged document and say here what was wrong, naming
    // the element (e.g. "LbBank 'Preset - RAM'"); the stream adds where (the line of the
    // tag read last). The default forgets it.
    virtual void ReportProblem(const char* element, const char* what) {}
    // Steps back to the start of the tag read last, so that the next ReadNextTag gives it
    // again (a reader that meets the start of an element it does not own). False when the
    // stream cannot.
    virtual bool UnreadTag() { return false; }
};

// Frees every string of a list filled by ReadNextTag and empties it.
void LbFreeStrings(LbXmlStreamI::StringList& list);
// The value of attribute `key` among lists filled by ReadNextTag, or null.
const char* LbAttribute(const LbXmlStreamI::StringList& keys, const LbXmlStreamI::StringList& values,
                        const char* key);
