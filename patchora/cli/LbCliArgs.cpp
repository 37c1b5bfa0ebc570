#include "cli/LbCliArgs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

LbCliArgs::LbCliArgs(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags)
{
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            mWords.push_back(arg);
            continue;
        }
        std::string name = arg == "-h" ? "--help" : arg, value;
        size_t equals = arg.find('=');
        bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inlineValue) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (std::find(flags.begin(), flags.end(), name) != flags.end() && !inlineValue) {
            mValues[name].push_back("");
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (!inlineValue) {
                // The next word is another option (not a negative number): the value is missing.
                bool missing = i + 1 >= args.size() ||
                               (args[i + 1].size() > 1 && args[i + 1][0] == '-' && !isdigit(static_cast<unsigned char>(args[i + 1][1])));
                if (missing) {
                    mError = "option " + name + " needs a value";
                    return;
                }
                value = args[++i];
            }
            mValues[name].push_back(value);
        } else {
            mError = "unknown option " + arg;
            return;
        }
    }
}

std::string LbCliArgs::Value(const std::string& option, const std::string& fallback) const
{
    auto it = mValues.find(option);
    return it == mValues.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> LbCliArgs::Values(const std::string& option) const
{
    auto it = mValues.find(option);
    return it == mValues.end() ? std::vector<std::string>() : it->second;
}

bool LbParseInt(const std::string& text, long min, long max, long* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != 0 || v < min || v > max) return false;
    *value = v;
    return true;
}

bool LbParseNumberList(const std::string& text, long min, long max, std::vector<int>* numbers)
{
    numbers->clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t dash = item.find('-', 1);
        long from, to;
        if (dash == std::string::npos) {
            if (!LbParseInt(item, min, max, &from)) return false;
            to = from;
        } else if (!LbParseInt(item.substr(0, dash), min, max, &from) ||
                   !LbParseInt(item.substr(dash + 1), min, max, &to) || to < from) {
            return false;
        }
        for (long n = from; n <= to; n++) numbers->push_back(int(n));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !numbers->empty();
}
