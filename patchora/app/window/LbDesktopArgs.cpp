#include "app/window/LbDesktopArgs.h"

#include <cstdlib>
#include <filesystem>

namespace {

bool EndsWith(const std::string& text, const char* end)
{
    std::string e = end;
    return text.size() > e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0;
}

bool LooksLikeDocument(const std::string& arg)
{
    std::error_code error;
    if (std::filesystem::exists(arg, error)) return true;
    return EndsWith(arg, ".lib") || EndsWith(arg, ".plib") || EndsWith(arg, ".syx");
}

} // namespace

bool LbParseDesktopArgs(const std::vector<std::string>& args, LbDesktopArgs* result,
                        std::string* error)
{
    LbDesktopArgs parsed;
    for (const std::string& arg : args) {
        if (arg == "--simulate") {
            parsed.simulate = true;
        } else if (arg.rfind("--open=", 0) == 0) {
            std::string name = arg.substr(7);
            if (name != "studio" && name != "add-device" && name != "about") {
                if (error != nullptr) *error = "--open takes studio, add-device or about";
                return false;
            }
            parsed.open.push_back(name);
        } else if (!arg.empty() && arg[0] != '-' && LooksLikeDocument(arg)) {
            parsed.files.push_back(arg);
        } else {
            return false;
        }
    }
    if (result != nullptr) *result = parsed;
    return true;
}

bool LbHasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}
