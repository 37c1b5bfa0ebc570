// Add-on images: shared libraries loaded at run time (dlopen/dlsym).
//
// load_add_on() gives an image id or a negative status: B_ENTRY_NOT_FOUND when the file
// is missing, B_NOT_AN_EXECUTABLE when it is not a loadable library (or a library it
// needs is missing). get_image_symbol() gives B_MISSING_SYMBOL for an unknown name.
// After a failure, image_error() describes it in words (the dynamic loader's text) for
// the calling thread. Safe from any thread.
#pragma once

#include "kernel/SupportDefs.h"

enum {
	B_SYMBOL_TYPE_DATA = 0x1,
	B_SYMBOL_TYPE_TEXT = 0x2,
	B_SYMBOL_TYPE_ANY = 0x5,
};

image_id load_add_on(const char* path);
status_t unload_add_on(image_id image);
status_t get_image_symbol(image_id image, const char* name, int32 symbolType, void** location);
// The last failure of load_add_on/get_image_symbol on this thread; "" when none.
const char* image_error();
