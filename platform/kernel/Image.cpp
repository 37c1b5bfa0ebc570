// Add-on images on dlopen/dlsym, with the loader's own words kept for image_error().

#include "kernel/Image.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <map>
#include <mutex>
#include <string>

namespace {

struct ImageTable {
	std::mutex mutex;
	std::map<image_id, void*> images;
	image_id nextId = 1;
};

ImageTable& Table()
{
	static ImageTable* table = new ImageTable;
	return *table;
}

thread_local std::string tLastError;

void SetError(const char* what, const char* detail)
{
	tLastError = what;
	if (detail && *detail) {
		tLastError += ": ";
		tLastError += detail;
	}
}

}  // namespace

image_id load_add_on(const char* path)
{
	if (path == nullptr || *path == '\0') {
		SetError("no add-on path given", nullptr);
		return B_BAD_VALUE;
	}
	struct stat info;
	if (stat(path, &info) != 0) {
		SetError("add-on file not found", path);
		return B_ENTRY_NOT_FOUND;
	}
	if (S_ISDIR(info.st_mode)) {
		SetError("add-on path is a directory", path);
		return B_IS_A_DIRECTORY;
	}
	void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
	if (handle == nullptr) {
		SetError("cannot load add-on", dlerror());
		return B_NOT_AN_EXECUTABLE;
	}
	ImageTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	image_id id = table.nextId;
	table.nextId = table.nextId == INT32_MAX ? 1 : table.nextId + 1;
	table.images[id] = handle;
	tLastError.clear();
	return id;
}

status_t unload_add_on(image_id image)
{
	void* handle;
	{
		ImageTable& table = Table();
		std::lock_guard<std::mutex> guard(table.mutex);
		auto it = table.images.find(image);
		if (it == table.images.end())
			return B_BAD_IMAGE_ID;
		handle = it->second;
		table.images.erase(it);
	}
	if (dlclose(handle) != 0) {
		SetError("cannot unload add-on", dlerror());
		return B_ERROR;
	}
	return B_OK;
}

status_t get_image_symbol(image_id image, const char* name, int32 symbolType, void** location)
{
	if (name == nullptr || location == nullptr) {
		SetError("no symbol name or result place given", nullptr);
		return B_BAD_VALUE;
	}
	// The table stays locked so that no other thread unloads the image meanwhile.
	ImageTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.images.find(image);
	if (it == table.images.end()) {
		SetError("no such add-on image", nullptr);
		return B_BAD_IMAGE_ID;
	}
	dlerror();
	void* symbol = dlsym(it->second, name);
	const char* error = dlerror();
	if (error != nullptr || symbol == nullptr) {
		SetError("symbol not found", error ? error : name);
		return B_MISSING_SYMBOL;
	}
	*location = symbol;
	tLastError.clear();
	return B_OK;
}

const char* image_error()
{
	return tLastError.c_str();
}
