#pragma once
// A small command-line parser: options with and without values ("--bank NAME", "-o FILE",
// "--params"), repeated options, and the words left over. Errors are texts for the user.
#include <map>
#include <string>
#include <vector>

class LbCliArgs {
public:
    // `valued` lists the options that take a value, `flags` those that do not; both with
    // their dashes ("--bank", "-o"). Anything else starting with '-' is an error.
    LbCliArgs(const std::vector<std::string>& args, const std::vector<std::string>& valued,
              const std::vector<std::string>& flags);

    bool Ok() const { return mError.empty(); }
    const std::string& Error() const { return mError; }
    bool Has(const std::string& option) const { return mValues.count(option) > 0; }
    // The last value given for the option, or `fallback`.
    std::string Value(const std::string& option, const std::string& fallback = "") const;
    std::vector<std::string> Values(const std::string& option) const;
    const std::vector<std::string>& Words() const { return mWords; }

private:
    std::map<std::string, std::vector<std::string>> mValues;
    std::vector<std::string> mWords;
    std::string mError;
};

// Parses a whole decimal number within [min, max]; false for anything else.
bool LbParseInt(const std::string& text, long min, long max, long* value);
// Parses a list of numbers and ranges such as "0,3,5-9" within [min, max], in order.
bool LbParseNumberList(const std::string& text, long min, long max, std::vector<int>* numbers);
