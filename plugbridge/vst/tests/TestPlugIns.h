#pragma once
// Where the test plug-ins of tools/vst-test-plugins are, and the log each keeps of what its
// host asked (TestPlugInLog.h).

#include <dlfcn.h>

#include <string>

#include "TestPlugInLog.h"

inline std::string TestPlugInPath(const char* name)
{
	return std::string(VST_TEST_PLUGINS_DIR) + "/vst-test-" + name + ".so";
}

// The log of a loaded test plug-in (null when it is not loaded).
inline TestPlugInLog* TestPlugInLogOf(const char* name)
{
	void* handle = dlopen(TestPlugInPath(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
	if (handle == nullptr)
		return nullptr;
	auto function = reinterpret_cast<TestPlugInLogFunction>(dlsym(handle, "test_plugin_log"));
	TestPlugInLog* log = function != nullptr ? function() : nullptr;
	dlclose(handle);  // the plug-in stays loaded by its VSTPlugIn
	return log;
}
