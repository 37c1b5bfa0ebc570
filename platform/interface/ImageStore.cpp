#include "interface/ImageStore.h"

#include <map>
#include <string>

#include <QFile>
#include <QPixmap>

namespace image_store {

namespace {

std::map<std::string, QPixmap>& Added()
{
	static std::map<std::string, QPixmap> images;
	return images;
}

}  // namespace

QPixmap Find(const char* name)
{
	if (name == nullptr)
		return QPixmap();
	auto it = Added().find(name);
	if (it != Added().end())
		return it->second;
	for (const char* suffix : {".png", ".svg"}) {
		QString path = QString(":/images/") + QString::fromUtf8(name) + suffix;
		if (QFile::exists(path))
			return QPixmap(path);
	}
	return QPixmap();
}

void Add(const char* name, const QPixmap& image)
{
	if (name != nullptr)
		Added()[name] = image;
}

}  // namespace image_store
