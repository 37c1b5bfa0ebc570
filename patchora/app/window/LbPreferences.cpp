#include "app/window/LbPreferences.h"

#include "app/window/LbImageManager.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>

namespace {

rgb_color FromQColor(const QColor& c)
{
    return rgb_color {uint8(c.red()), uint8(c.green()), uint8(c.blue()), 255};
}

} // namespace

LbPreferences::LbPreferences(LbImageManager* images)
{
    QPalette palette = qApp != nullptr ? QApplication::palette() : QPalette();
    mSizes[LB_SIZE_FONT] = 10;
    mSizes[LB_SIZE_LABEL_SPACING] = 4;
    mSizes[LB_SIZE_KNOB] = 32;
    mSizes[LB_SIZE_MARGIN] = 8;
    (void)images; // the program ships no images of its own yet: the sizes are fixed
    mColors[LB_COLOR_PANEL] = FromQColor(palette.color(QPalette::Window));
    mColors[LB_COLOR_NODE] = FromQColor(palette.color(QPalette::Window).lighter(104));
    mColors[LB_COLOR_LABEL] = FromQColor(palette.color(QPalette::WindowText));
    mColors[LB_COLOR_CONTROL] = FromQColor(palette.color(QPalette::Button));
    mColors[LB_COLOR_VALUE] = FromQColor(palette.color(QPalette::Text));
    mColors[LB_COLOR_HIGHLIGHT] = FromQColor(palette.color(QPalette::Highlight));
}

float LbPreferences::Size(uint32 key) const
{
    auto found = mSizes.find(key);
    return found != mSizes.end() ? found->second : 0;
}

rgb_color LbPreferences::Color(uint32 key) const
{
    auto found = mColors.find(key);
    return found != mColors.end() ? found->second : rgb_color {0, 0, 0, 255};
}
