#include "app/window/LbGlobalsI.h"

namespace {

// Set and cleared on the GUI thread, where every reader runs.
LbGlobalsI* sGlobals = nullptr;
LbPreferencesI* sPrefs = nullptr;
LbImageManager* sImages = nullptr;

} // namespace

LbGlobalsI* Globals()
{
    return sGlobals;
}

LbPreferencesI* Prefs()
{
    return sPrefs;
}

LbImageManager* ImageManager()
{
    return sImages;
}

void LbSetProgramServices(LbGlobalsI* globals, LbPreferencesI* prefs, LbImageManager* images)
{
    sGlobals = globals;
    sPrefs = prefs;
    sImages = images;
}
