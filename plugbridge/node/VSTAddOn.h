#pragma once
// VSTAddOn: the media add-on that offers every usable plug-in of the plug-in directory as a
// flavor (a plug-in's position in the list is its flavor's internal id) and makes a
// VSTEffectNode with its own plug-in instance for a flavor. A VSTNodeMonitor reloads the
// directory when it changes and tells the roster that the flavors changed.
//
// The directory is scanned safely (PlugInScanner): files that crash or hang while loaded
// are left out and remembered; files left out are named on standard error.
//
// Lifetime: made by make_media_addon (or directly); owned by the roster, which deletes it
// after the nodes it made are released. Nodes keep their plug-in files loaded themselves,
// so a reload never pulls a file from under a running node. Flavor records handed out stay
// valid until the add-on goes.
// Threads: every method may be called from any thread (one lock guards the lists);
// updatePlugIns runs on the monitor's thread.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalog/PlugInScanner.h"
#include "media/MediaAddOn.h"

class VSTNodeMonitor;
class VSTPlugIn;

class VSTAddOn : public BMediaAddOn {
public:
	// Scans `directory` (empty: the one in the settings); `program` is the scanning child
	// (empty: PlugInScanner's default).
	explicit VSTAddOn(image_id image, const std::string& directory = std::string(),
		const std::string& program = std::string());
	~VSTAddOn() override;

	status_t InitCheck(const char** outFailureText) override;
	int32 CountFlavors() override;
	status_t GetFlavorAt(int32 n, const flavor_info** outInfo) override;
	BMediaNode* InstantiateNodeFor(const flavor_info* info, BMessage* config,
		status_t* outError) override;
	status_t GetConfigurationFor(BMediaNode* node, BMessage* intoMessage) override;
	bool WantsAutoStart() override;

	// Loads the directory again and tells the roster.
	void updatePlugIns();

	const std::string& Directory() const { return fDirectory; }
	// The files of the last scan that are not flavors, with the reasons.
	std::vector<PlugInScanner::Rejected> RejectedFiles();
	bool IsMonitoring() const;

private:
	// A flavor record and the storage its pointers name.
	struct Flavor {
		flavor_info info;
		std::string name;
		std::string text;
		std::vector<media_format> inputs;
		std::vector<media_format> outputs;
	};

	status_t LoadPlugIns();

	std::mutex fLock;
	std::string fDirectory;
	std::string fProgram;
	std::vector<std::unique_ptr<VSTPlugIn>> fPlugIns;     // guarded by fLock
	std::vector<std::unique_ptr<Flavor>> fFlavors;        // guarded by fLock; one per plug-in
	// Flavors of earlier scans: retired, not freed, while someone may still read them.
	std::vector<std::unique_ptr<Flavor>> fRetired;        // guarded by fLock
	std::vector<PlugInScanner::Rejected> fRejected;       // guarded by fLock
	VSTNodeMonitor* fMonitor = nullptr;
};
