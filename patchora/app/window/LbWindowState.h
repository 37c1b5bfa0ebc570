#pragma once
// The window-state document "state" and the frame element every window writes into it:
//
//   <State version = 1.0>
//   	<Window type = LbStudioWindow>
//   		<frame>0.04166667 0.14583333 0.07407407 0.35185185 0</frame>
//   	</Window>
//   </State>
//
// A frame is kept relative to the screen: left and right divided by the screen's width,
// top and bottom by its height, then 1 when the window was minimised, else 0. Reading
// multiplies by the screen the program runs on now, so windows keep their place on
// another screen size.
//
// Threads: GUI thread (the windows are touched).
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

#include <string>
#include <sys/types.h>

class BMessage;
class BWindow;
class LbXmlStreamI;

// "%3.8f %3.8f %3.8f %3.8f %d" as above.
std::string LbFrameText(BRect frame, BRect screen, bool minimized);
// The frame the text gives on `screen`; -1 (frame untouched) with fewer than four
// numbers or numbers that are not finite. `minimized` is false without a fifth number.
status_t LbParseFrameText(const char* text, BRect screen, BRect* frame, bool* minimized);

// Writes the window's frame as one indented "frame" element.
ssize_t LbWriteWindowFrame(LbXmlStreamI* stream, BWindow* window);
// Moves, resizes and minimises (or restores) the window as the text says; -1 leaves it.
// A frame that would leave the window off the screen is moved back onto it.
status_t LbApplyWindowFrame(BWindow* window, const char* text);

// For a window's 'aRdS' handler: reads tags up to "/Window" (or the end), applies
// "frame" and hands every other start tag to `element` (which reads the element's text
// itself; may be null). Returns B_OK when "/Window" came, else B_ERROR.
using LbStateElementReader = void (*)(void* context, LbXmlStreamI* stream, const char* tag);
status_t LbReadWindowState(BWindow* window, LbXmlStreamI* stream,
                           LbStateElementReader element = nullptr, void* context = nullptr);
// Begins a window's "Window" element of `type` (indented; the caller then writes its own
// elements, already indented one level further, and calls LbEndWindowState).
ssize_t LbBeginWindowState(LbXmlStreamI* stream, const char* type);
ssize_t LbEndWindowState(LbXmlStreamI* stream);
