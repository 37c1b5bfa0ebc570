#include "interface/Clipboard.h"

#include <cstdlib>
#include <cstring>

#include "app/Message.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

BClipboard* be_clipboard = nullptr;

BClipboard::BClipboard(const char* name)
	: fName(strdup(name ? name : "system")), fData(new BMessage), fLocks(0)
{
}

BClipboard::~BClipboard()
{
	delete fData;
	free(fName);
}

bool BClipboard::Lock()
{
	if (qGuiApp == nullptr)
		return false;
	if (fLocks++ == 0)
		Revert();
	return true;
}

void BClipboard::Unlock()
{
	if (fLocks > 0)
		fLocks--;
}

status_t BClipboard::Clear()
{
	if (fLocks == 0)
		return B_NOT_ALLOWED;
	fData->MakeEmpty();
	return B_OK;
}

status_t BClipboard::Commit()
{
	if (fLocks == 0)
		return B_NOT_ALLOWED;
	auto* mime = new QMimeData;
	const char* name = nullptr;
	type_code type = 0;
	int32 count = 0;
	for (int32 i = 0; fData->GetInfo(B_MIME_TYPE, i, &name, &type, &count) == B_OK; i++) {
		const void* bytes = nullptr;
		ssize_t length = 0;
		if (fData->FindData(name, B_MIME_TYPE, &bytes, &length) == B_OK)
			mime->setData(QString::fromUtf8(name),
				QByteArray(static_cast<const char*>(bytes), qsizetype(length)));
	}
	QGuiApplication::clipboard()->setMimeData(mime);   // takes ownership
	return B_OK;
}

status_t BClipboard::Revert()
{
	if (qGuiApp == nullptr)
		return B_NO_INIT;
	fData->MakeEmpty();
	const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
	if (mime == nullptr)
		return B_OK;
	for (const QString& format : mime->formats()) {
		QByteArray bytes = mime->data(format);
		fData->AddData(format.toUtf8().constData(), B_MIME_TYPE, bytes.constData(), bytes.size());
	}
	return B_OK;
}

BMessage* BClipboard::Data() const
{
	return fLocks > 0 ? fData : nullptr;
}
