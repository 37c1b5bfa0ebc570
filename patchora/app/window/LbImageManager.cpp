#include "app/window/LbImageManager.h"

#include "interface/ImageStore.h"

#include <cstdio>

#include <QPainter>
#include <QPixmap>

LbImageManager::LbImageManager() = default;
LbImageManager::~LbImageManager() = default;

const QPixmap* LbImageManager::BitmapAt(const char* name)
{
    if (name == nullptr) return nullptr;
    auto found = mBitmaps.find(name);
    if (found != mBitmaps.end()) return found->second.get();
    QPixmap image = image_store::Find(name);
    std::unique_ptr<QPixmap> bitmap;
    if (image.isNull())
        printf("patchora: no image named \"%s\"\n", name);
    else
        bitmap = std::make_unique<QPixmap>(image);
    const QPixmap* result = bitmap.get();
    mBitmaps.emplace(name, std::move(bitmap));
    return result;
}

std::unique_ptr<QPixmap> LbImageManager::PictureAt(const char* name, BPoint where,
                                                   rgb_color background)
{
    return PictureAt(BitmapAt(name), where, background);
}

std::unique_ptr<QPixmap> LbImageManager::PictureAt(const QPixmap* bitmap, BPoint where,
                                                   rgb_color background)
{
    if (bitmap == nullptr) return nullptr;
    auto picture =
        std::make_unique<QPixmap>(bitmap->width() + int(where.x), bitmap->height() + int(where.y));
    picture->fill(QColor(background.red, background.green, background.blue, background.alpha));
    QPainter painter(picture.get());
    painter.drawPixmap(QPointF(where.x, where.y), *bitmap);
    return picture;
}
