#include "app/LbXmlStream.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "librarian/LbStatusWormholeI.h"
#include "storage/BufferIO.h"

namespace {

constexpr size_t kFirstBufferSize = 256;
// Chunks start small (most tags and texts are short; bytes read past the marker are
// given back) and double up to the reader's buffer size for long texts.
constexpr size_t kFirstReadChunk = 256;
constexpr size_t kLargestReadChunk = 65536;

bool IsTagWhitespace(char c)
{
    return c == '\t' || c == '\r' || c == ' ';
}

char* CopyText(const char* text, size_t length)
{
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

}  // namespace

const char* LbAttribute(const LbXmlStreamI::StringList& keys, const LbXmlStreamI::StringList& values,
                        const char* key)
{
    for (size_t i = 0; i < keys.size() && i < values.size(); i++)
        if (strcmp(keys[i], key) == 0)
            return values[i];
    return nullptr;
}

void LbFreeStrings(LbXmlStreamI::StringList& list)
{
    for (char* s : list)
        free(s);
    list.clear();
}

LbXmlStream::LbXmlStream(BPositionIO* stream) : mStream(stream)
{
}

LbXmlStream::~LbXmlStream()
{
    delete mReader;
    free(mBuffer);
}

void LbXmlStream::PushTab()
{
    if (mDepth < INT16_MAX)
        mDepth++;
}

void LbXmlStream::PopTab()
{
    if (mDepth > 0)
        mDepth--;
}

// Reading

bool LbXmlStream::BeginRead()
{
    if (mStream == nullptr)
        return false;
    off_t position = mStream->Position();
    if (position < 0)
        return false;
    if (mReader == nullptr) {
        mReader = new BBufferIO(mStream, BBufferIO::kDefaultBufferSize, false);
        if (mReader->InitCheck() != B_OK) {
            delete mReader;
            mReader = nullptr;
            return false;
        }
    }
    // Someone else moved or wrote the byte stream: what the reader holds is stale.
    if (mReaderStale || mReader->Position() != position) {
        mReader->InvalidateReadBuffer();
        mReader->Seek(position, STORAGE_SEEK_SET);
        mReaderStale = false;
    }
    return true;
}

void LbXmlStream::EndRead()
{
    mStream->Seek(mReader->Position(), STORAGE_SEEK_SET);
}

bool LbXmlStream::Reserve(size_t size)
{
    if (size <= mBufferSize && mBuffer != nullptr)
        return true;
    size_t newSize = mBuffer == nullptr ? kFirstBufferSize : mBufferSize * 2;
    if (newSize < size)
        newSize = size * 2;
    char* grown = static_cast<char*>(realloc(mBuffer, newSize));
    if (grown == nullptr)
        return false;
    mBuffer = grown;
    mBufferSize = newSize;
    return true;
}

bool LbXmlStream::SkipPast(char c)
{
    char chunk[512];
    for (;;) {
        ssize_t got = mReader->Read(chunk, sizeof chunk);
        if (got <= 0)
            return false;
        const void* found = memchr(chunk, c, static_cast<size_t>(got));
        if (found != nullptr) {
            size_t after = static_cast<size_t>(static_cast<const char*>(found) - chunk) + 1;
            mReader->Seek(-static_cast<off_t>(static_cast<size_t>(got) - after),
                          STORAGE_SEEK_CUR);
            return true;
        }
    }
}

ssize_t LbXmlStream::ReadToMarker(const char* marker, size_t markerLength, size_t limit)
{
    size_t used = 0;
    size_t searchFrom = 0;
    size_t chunk = kFirstReadChunk;
    for (;;) {
        if (!Reserve(used + chunk + 1))
            return -1;
        ssize_t got = mReader->Read(mBuffer + used, chunk);
        if (chunk < kLargestReadChunk)
            chunk *= 2;
        if (got <= 0)
            return -1;  // a read error, or the end before the marker
        used += static_cast<size_t>(got);
        // Only the newly reachable bytes are searched, so reading stays linear.
        const void* found = memmem(mBuffer + searchFrom, used - searchFrom, marker, markerLength);
        if (found != nullptr) {
            size_t offset = static_cast<size_t>(static_cast<const char*>(found) - mBuffer);
            if (offset > limit)
                return -1;
            // Stand just after the marker's first character.
            mReader->Seek(-static_cast<off_t>(used - offset - 1), STORAGE_SEEK_CUR);
            mBuffer[offset] = '\0';
            return static_cast<ssize_t>(offset);
        }
        searchFrom = used >= markerLength ? used - markerLength + 1 : 0;
        if (searchFrom > limit)
            return -1;  // too long for this kind of text
    }
}

void LbXmlStream::ParseAttributes(const char* text, size_t length, StringList* keys,
                                  StringList* values)
{
    size_t i = 0;
    while (i < length) {
        size_t start = i;
        mWsRules.Initialize();
        while (i < length && mWsRules.Accept(text[i]))
            i++;
        size_t keyStart = i;
        while (i < length && !mWsRules.Accept(text[i]))
            i++;
        size_t keyEnd = i;
        if (i >= length)
            break;
        mSeparatorRules.Initialize();
        while (i < length && mSeparatorRules.Accept(text[i]))
            i++;
        size_t valueStart, valueEnd;
        mQuoteRules.Initialize();
        if (i < length && mQuoteRules.Accept(text[i])) {
            valueStart = ++i;
            while (i < length && !mQuoteRules.Accept(text[i]))
                i++;
            valueEnd = i;
            if (i < length)
                i++;  // the closing quote
        } else {
            valueStart = i;
            while (i < length && !mWsRules.Accept(text[i]))
                i++;
            valueEnd = i;
        }
        if (keyEnd > keyStart && valueEnd > valueStart) {
            char* key = CopyText(text + keyStart, keyEnd - keyStart);
            char* value = CopyText(text + valueStart, valueEnd - valueStart);
            if (key != nullptr && value != nullptr) {
                keys->push_back(key);
                values->push_back(value);
            } else {
                free(key);
                free(value);
            }
        }
        if (i == start)
            break;
    }
}

char* LbXmlStream::ReadNextTag(StringList* keys, StringList* values)
{
    if (!BeginRead())
        return nullptr;
    char* name = nullptr;
    if (SkipPast('<')) {
        mTagStart = mReader->Position() - 1;
        ssize_t length = ReadToMarker(">", 1, kMaxTagLength);
        if (length < 0) {
            ReportProblem("document", "a tag is cut off by the end of the document or longer "
                                      "than 1 MB; reading stops there");
        } else {
            size_t nameLength = 0;
            while (nameLength < static_cast<size_t>(length) && !IsTagWhitespace(mBuffer[nameLength]))
                nameLength++;
            name = CopyText(mBuffer, nameLength);
            if (name != nullptr && keys != nullptr && values != nullptr
                && nameLength < static_cast<size_t>(length))
                ParseAttributes(mBuffer + nameLength, static_cast<size_t>(length) - nameLength,
                                keys, values);
        }
    }
    EndRead();
    if (name != nullptr && mStatus != nullptr)
        mStatus->MoveProgressTo(static_cast<float>(mReader->Position()));
    return name;
}

char* LbXmlStream::ReadStrToTag(const char* tagName)
{
    if (tagName == nullptr || !BeginRead())
        return nullptr;
    std::string marker = "</" + std::string(tagName) + ">";
    ssize_t length = ReadToMarker(marker.data(), marker.size(), mMaxTextLength);
    char* text = length >= 0 ? CopyText(mBuffer, static_cast<size_t>(length)) : nullptr;
    EndRead();
    if (length < 0)
        ReportProblem(tagName, ("no " + marker + " ends its text").c_str());
    return text;
}

bool LbXmlStream::UnreadTag()
{
    if (mStream == nullptr || mTagStart < 0 || mStream->Seek(mTagStart, STORAGE_SEEK_SET) != mTagStart)
        return false;
    mReaderStale = true;
    mTagStart = -1;
    return true;
}

void LbXmlStream::ReportProblem(const char* element, const char* what)
{
    mProblemCount++;
    if (mProblems.size() >= kMaxProblems)
        return;
    int64_t line = mTagStart >= 0 ? LineAt(mTagStart) : 0;
    mProblems.push_back({line, element != nullptr ? element : "", what != nullptr ? what : ""});
}

int64_t LbXmlStream::LineAt(off_t position)
{
    // Problems come in document order, so counting goes on from the last one.
    if (position < mLineCountedTo) {
        mLineCountedTo = 0;
        mLinesBefore = 0;
    }
    char chunk[65536];
    while (mLineCountedTo < position) {
        size_t want = static_cast<size_t>(std::min<off_t>(position - mLineCountedTo, sizeof chunk));
        ssize_t got = mStream->ReadAt(mLineCountedTo, chunk, want);
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; i++)
            mLinesBefore += chunk[i] == '\n';
        mLineCountedTo += got;
    }
    return mLinesBefore + 1;
}

// Writing

std::string LbXmlStream::CleanName(const char* name)
{
    std::string text = CleanValue(name);
    for (char& c : text) {
        if (IsTagWhitespace(c))
            c = '_';
    }
    return text;
}

std::string LbXmlStream::CleanValue(const char* value)
{
    std::string text = value != nullptr ? value : "";
    for (char& c : text) {
        if (c == '<')
            c = '(';
        else if (c == '>')
            c = ')';
        else if (c == '"')
            c = '\'';
    }
    return text;
}

ssize_t LbXmlStream::Emit(const std::string& text)
{
    return Write(text.data(), text.size());
}

ssize_t LbXmlStream::Write(const void* bytes, size_t length)
{
    assert(mStream != 0 && "mStream != 0");
    if (mStream == nullptr) {
        fprintf(stderr, "LbXmlStream: assertion failed: mStream != 0\n");
        return B_NO_INIT;
    }
    if (length == 0)
        return 0;
    mReaderStale = true;
    ssize_t written = mStream->Write(bytes, length);
    // A short write is a failure too: the document would be cut.
    if (written >= 0 && static_cast<size_t>(written) != length)
        return written == 0 ? 0 : B_IO_ERROR;
    return written;
}

ssize_t LbXmlStream::WriteStartTag(const char* name, const ConstStringList* keys,
                                   const ConstStringList* values)
{
    std::string text(static_cast<size_t>(mDepth), '\t');
    text += '<';
    text += CleanName(name);
    if (keys != nullptr && values != nullptr && !keys->empty() && keys->size() == values->size()) {
        for (size_t i = 0; i < keys->size(); i++) {
            // A pair without a value would read back as nothing and, written bare, would
            // take the next key for its value: such pairs are left out.
            const char* value = (*values)[i];
            if (value == nullptr || value[0] == '\0')
                continue;
            text += ' ';
            text += CleanName((*keys)[i]);
            text += " = ";
            std::string clean = CleanValue(value);
            if (clean.find_first_of("\t\r ") != std::string::npos)
                text += '"' + clean + '"';
            else
                text += clean;
        }
    }
    text += '>';
    return Emit(text);
}

ssize_t LbXmlStream::WriteEndTag(const char* name)
{
    return Emit("</" + CleanName(name) + ">\n");
}

ssize_t LbXmlStream::WriteChar(char c)
{
    return Write(&c, 1);
}

ssize_t LbXmlStream::WriteCR()
{
    return WriteChar('\n');
}

ssize_t LbXmlStream::WriteSpace()
{
    return WriteChar(' ');
}

ssize_t LbXmlStream::WriteTabs()
{
    return Emit(std::string(static_cast<size_t>(mDepth), '\t'));
}
