#pragma once
// LbPreferences: the program's look table (see LbPreferencesI.h), built at start from
// fixed numbers, the desktop's colours and the sizes of the program's images.
// Threads: built on the GUI thread; read from any thread afterwards.
#include "app/window/LbPreferencesI.h"

#include <map>

class LbImageManager;

// Keys of the look table.
enum : uint32 {
    LB_SIZE_FONT = 0, // points of the editor views' text
    LB_SIZE_LABEL_SPACING = 1, // pixels between a control and its label
    LB_SIZE_KNOB = 2, // side of a knob
    LB_SIZE_MARGIN = 3, // pixels around a group of controls

    LB_COLOR_PANEL = 0, // the desktop's panel background
    LB_COLOR_NODE = 1, // the background of a parameter node
    LB_COLOR_LABEL = 2, // the text of labels
    LB_COLOR_CONTROL = 3, // the face of a control
    LB_COLOR_VALUE = 4, // the text of a value
    LB_COLOR_HIGHLIGHT = 16, // selections and progress
};

class LbPreferences : public LbPreferencesI {
public:
    // `images` (may be null) gives the sizes of named images; not kept.
    explicit LbPreferences(LbImageManager* images);

    float Size(uint32 key) const override;
    rgb_color Color(uint32 key) const override;

private:
    std::map<uint32, float> mSizes;
    std::map<uint32, rgb_color> mColors;
};
