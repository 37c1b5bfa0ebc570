#pragma once
// Character rules of the document stream: which characters end or belong to a run.

class LbCharRules {
public:
    virtual ~LbCharRules() = default;
    virtual void Initialize() {}
    virtual bool Accept(char c) = 0;
};

// Tab, carriage return and space. A line feed is not whitespace inside a tag.
class IWsRules : public LbCharRules {
public:
    bool Accept(char c) override { return c == '\t' || c == '\r' || c == ' '; }
};

// Whitespace, and the first '=' after Initialize: the separator between key and value.
class IKeyValueRules : public LbCharRules {
public:
    void Initialize() override { mSeenEquals = false; }
    bool Accept(char c) override
    {
        if (c == '\t' || c == '\r' || c == ' ')
            return true;
        if (c == '=' && !mSeenEquals) {
            mSeenEquals = true;
            return true;
        }
        return false;
    }

private:
    bool mSeenEquals = false;
};

// Exactly one character (the double quote around values).
class ISingleCharRules : public LbCharRules {
public:
    explicit ISingleCharRules(char c) : mChar(c) {}
    bool Accept(char c) override { return c == mChar; }

private:
    char mChar;
};
