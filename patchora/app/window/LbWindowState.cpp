#include "app/window/LbWindowState.h"

#include "app/LbXmlStreamI.h"
#include "interface/Screen.h"
#include "interface/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kFrameTag[] = "frame";
constexpr char kWindowTag[] = "Window";

float ScreenWidth(BRect screen)
{
    return screen.Width() + 1;
}

float ScreenHeight(BRect screen)
{
    return screen.Height() + 1;
}

} // namespace

std::string LbFrameText(BRect frame, BRect screen, bool minimized)
{
    double w = ScreenWidth(screen), h = ScreenHeight(screen);
    char text[128];
    snprintf(text, sizeof text, "%3.8f %3.8f %3.8f %3.8f %d", frame.left / w, frame.right / w,
             frame.top / h, frame.bottom / h, minimized ? 1 : 0);
    return text;
}

status_t LbParseFrameText(const char* text, BRect screen, BRect* frame, bool* minimized)
{
    if (text == nullptr) return -1;
    double numbers[4];
    const char* p = text;
    for (double& n : numbers) {
        char* end = nullptr;
        n = strtod(p, &end);
        if (end == p || !std::isfinite(n)) return -1;
        p = end;
    }
    char* end = nullptr;
    long minimise = strtol(p, &end, 10);
    double w = ScreenWidth(screen), h = ScreenHeight(screen);
    if (frame != nullptr)
        *frame = BRect(float(numbers[0] * w), float(numbers[2] * h), float(numbers[1] * w),
                       float(numbers[3] * h));
    if (minimized != nullptr) *minimized = end != p && minimise == 1;
    return B_OK;
}

ssize_t LbWriteWindowFrame(LbXmlStreamI* stream, BWindow* window)
{
    BScreen screen(window);
    std::string text = LbFrameText(window->Frame(), screen.Frame(), window->IsMinimized());
    ssize_t total = stream->WriteStartTag(kFrameTag);
    if (total < 1) return total;
    ssize_t written = stream->Write(text.data(), text.size());
    if (written < 1) return written;
    total += written;
    if ((written = stream->WriteEndTag(kFrameTag)) < 1) return written;
    return total + written;
}

status_t LbApplyWindowFrame(BWindow* window, const char* text)
{
    BScreen screen(window);
    BRect s = screen.Frame();
    BRect frame;
    bool minimized = false;
    if (LbParseFrameText(text, s, &frame, &minimized) != B_OK) return -1;
    // A frame turned inside out, or one that lies off this screen (a document from a
    // bigger screen, or damaged), is brought back where the user can reach it.
    float width = std::max(frame.Width(), 50.0f), height = std::max(frame.Height(), 50.0f);
    width = std::min(width, s.Width());
    height = std::min(height, s.Height());
    float left = std::clamp(frame.left, s.left, s.right - std::min(width, 100.0f));
    float top = std::clamp(frame.top, s.top, s.bottom - std::min(height, 50.0f));
    window->Minimize(minimized);
    window->MoveTo(left, top);
    window->ResizeTo(width, height);
    return B_OK;
}

status_t LbReadWindowState(BWindow* window, LbXmlStreamI* stream, LbStateElementReader element,
                           void* context)
{
    while (char* tag = stream->ReadNextTag()) {
        std::string name = tag;
        free(tag);
        if (name == "/Window") return B_OK;
        if (name.empty() || name[0] == '/') continue;
        if (name == kFrameTag) {
            char* text = stream->ReadStrToTag(kFrameTag);
            if (text != nullptr) LbApplyWindowFrame(window, text);
            free(text);
        } else if (name == kWindowTag || name == "State") {
            // The next window's element: this one was cut short.
            stream->UnreadTag();
            return B_ERROR;
        } else if (element != nullptr) {
            element(context, stream, name.c_str());
        }
    }
    return B_ERROR;
}

ssize_t LbBeginWindowState(LbXmlStreamI* stream, const char* type)
{
    LbXmlStreamI::ConstStringList keys {"type"}, values {type};
    ssize_t total = stream->WriteStartTag(kWindowTag, &keys, &values);
    if (total < 1) return total;
    ssize_t written = stream->WriteCR();
    if (written < 1) return written;
    stream->PushTab();
    return total + written;
}

ssize_t LbEndWindowState(LbXmlStreamI* stream)
{
    stream->PopTab();
    ssize_t total = stream->WriteTabs();
    if (total < 0) return total;
    ssize_t written = stream->WriteEndTag(kWindowTag);
    if (written < 1) return written;
    return total + written;
}
