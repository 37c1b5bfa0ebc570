#pragma once
// LbXmlStream: the document stream over a caller's BPositionIO (which must outlive it).
//
// The format is a small XML-like subset without escapes: tags "<name key = value ...>",
// end tags "</name>", text content between them. Tokens inside a tag are separated by tab,
// carriage return and space; a value holding one of those is written in double quotes.
//
// Since nothing is escaped, the writer keeps names, keys and values readable: in them it
// replaces '<' by '(', '>' by ')' and '"' by '\''; in names and keys it also replaces
// tab, carriage return and space by '_'. An attribute whose value is null or empty is left
// out (it would not read back). Content written with Write is not changed.
//
// Reading goes through a 65 536-byte buffered reader; after each read operation the byte
// stream stands where the format says (just after the '>' of a tag, or just after the '<'
// of the end tag that closed a text), so callers may look at its position. A text longer
// than MaxTextLength, a tag longer than kMaxTagLength, a document that ends early or a
// read error all give null, and are kept as problems (with those readers report, see
// ReportProblem) for the caller to show: Problems().
#include <cstddef>
#include <string>
#include <vector>

#include "app/LbCharRules.h"
#include "app/LbXmlStreamI.h"

class BPositionIO;
class BBufferIO;

// One thing wrong in a document read: the line (1 for the first) of the tag read last when
// it was found, the element, and what.
struct LbXmlProblem {
    int64_t line;
    std::string element;
    std::string what;
};

class LbXmlStream : public LbXmlStreamI {
public:
    static constexpr int32_t kVersion = 19991013;
    static constexpr size_t kMaxTagLength = 1 << 20;
    static constexpr size_t kDefaultMaxTextLength = 64 << 20;

    explicit LbXmlStream(BPositionIO* stream);
    ~LbXmlStream() override;
    LbXmlStream(const LbXmlStream&) = delete;
    LbXmlStream& operator=(const LbXmlStream&) = delete;

    void PushTab() override;
    void PopTab() override;
    char* ReadNextTag(StringList* keys = nullptr, StringList* values = nullptr) override;
    char* ReadStrToTag(const char* tagName) override;
    ssize_t WriteStartTag(const char* name, const ConstStringList* keys = nullptr,
                          const ConstStringList* values = nullptr) override;
    ssize_t WriteEndTag(const char* name) override;
    // A write of nothing (no bytes, or tabs at depth 0) returns 0 without touching the
    // byte stream.
    ssize_t Write(const void* bytes, size_t length) override;
    ssize_t WriteChar(char c) override;
    ssize_t WriteCR() override;
    ssize_t WriteSpace() override;
    ssize_t WriteTabs() override;
    int32_t Version() override { return kVersion; }
    void ReportProblem(const char* element, const char* what) override;
    bool UnreadTag() override;

    // What readers found wrong, in the order found; at most kMaxProblems are kept and
    // ProblemCount() counts them all.
    static constexpr size_t kMaxProblems = 100;
    const std::vector<LbXmlProblem>& Problems() const { return mProblems; }
    size_t ProblemCount() const { return mProblemCount; }

    // Not owned; may be null. Told the byte position after every tag read.
    void SetStatusWormhole(LbStatusWormholeI* status) { mStatus = status; }
    LbStatusWormholeI* StatusWormhole() const { return mStatus; }
    int16_t Depth() const { return mDepth; }
    void SetMaxTextLength(size_t length) { mMaxTextLength = length; }
    size_t MaxTextLength() const { return mMaxTextLength; }

    // The text the writer puts out for a name or key, and for a value (unquoted).
    static std::string CleanName(const char* name);
    static std::string CleanValue(const char* value);

private:
    bool BeginRead();
    void EndRead();
    bool Reserve(size_t size);
    bool SkipPast(char c);
    // Reads up to the marker; the text before it is in mBuffer (NUL-terminated) and its
    // length is returned, or -1.
    ssize_t ReadToMarker(const char* marker, size_t markerLength, size_t limit);
    void ParseAttributes(const char* text, size_t length, StringList* keys,
                         StringList* values);
    ssize_t Emit(const std::string& text);
    int64_t LineAt(off_t position);

    BPositionIO* mStream;
    BBufferIO* mReader = nullptr;
    bool mReaderStale = false;
    int16_t mDepth = 0;
    IWsRules mWsRules;
    IKeyValueRules mSeparatorRules;
    ISingleCharRules mQuoteRules{'"'};
    char* mBuffer = nullptr;
    size_t mBufferSize = 0;
    size_t mMaxTextLength = kDefaultMaxTextLength;
    LbStatusWormholeI* mStatus = nullptr;
    off_t mTagStart = -1;            // where the '<' of the tag read last is, or -1
    off_t mLineCountedTo = 0;        // LineAt counts forward from here...
    int64_t mLinesBefore = 0;        // ...where this many newlines lie behind
    std::vector<LbXmlProblem> mProblems;
    size_t mProblemCount = 0;
};
