#include "node/VSTAddOn.h"

#include <cstdio>

#include "catalog/Preferences.h"
#include "node/VSTEffectNode.h"
#include "node/VSTNodeMonitor.h"
#include "vst/VSTPlugIn.h"

namespace {

std::vector<media_format> Formats(const std::vector<int32>& channelCounts)
{
	std::vector<media_format> formats;
	for (int32 channels : channelCounts) {
		media_format format = media_format::RawAudioFormat();
		format.u.raw_audio.channel_count = uint32(channels);
		formats.push_back(format);
	}
	return formats;
}

}  // namespace

VSTAddOn::VSTAddOn(image_id image, const std::string& directory, const std::string& program)
	:
	BMediaAddOn(image),
	fDirectory(directory.empty() ? Preferences::getInstance()->getPath() : directory),
	fProgram(program)
{
	LoadPlugIns();
	fMonitor = new VSTNodeMonitor(this, fDirectory);
	if (fMonitor->StartWatching() != B_OK) {
		fprintf(stderr, "plugbridge: %s is not watched for new plug-ins\n", fDirectory.c_str());
	}
}

VSTAddOn::~VSTAddOn()
{
	if (fMonitor != nullptr && fMonitor->Lock())
		fMonitor->Quit();
	fMonitor = nullptr;
}

status_t VSTAddOn::LoadPlugIns()
{
	std::vector<std::unique_ptr<VSTPlugIn>> plugIns;
	std::vector<PlugInScanner::Rejected> rejected;
	PlugInScanner scanner(Preferences::getInstance(), fProgram);
	status_t status = scanner.Scan(fDirectory, &plugIns, &rejected);
	for (const PlugInScanner::Rejected& r : rejected)
		fprintf(stderr, "plugbridge: left out %s: %s\n", r.path.c_str(), r.reason.c_str());

	std::vector<std::unique_ptr<Flavor>> flavors;
	for (const auto& plugIn : plugIns) {
		const VSTFlavorDescription& description = *plugIn->Flavor();
		auto flavor = std::make_unique<Flavor>();
		flavor->name = description.name;
		flavor->text = description.info;
		flavor->inputs = Formats(description.inputChannels);
		flavor->outputs = Formats(description.outputChannels);
		flavor_info& info = flavor->info;
		info.name = flavor->name.c_str();
		info.info = flavor->text.c_str();
		info.kinds = uint64(B_CONTROLLABLE)
			| (description.consumer ? uint64(B_BUFFER_CONSUMER) : 0)
			| (description.producer ? uint64(B_BUFFER_PRODUCER) : 0);
		info.flavor_flags = 0;
		info.internal_id = description.internalId;
		info.possible_count = 0;
		info.in_format_count = int32(flavor->inputs.size());
		info.in_formats = flavor->inputs.data();
		info.out_format_count = int32(flavor->outputs.size());
		info.out_formats = flavor->outputs.data();
		flavors.push_back(std::move(flavor));
	}

	std::lock_guard<std::mutex> guard(fLock);
	for (auto& old : fFlavors)
		fRetired.push_back(std::move(old));
	fFlavors = std::move(flavors);
	fPlugIns = std::move(plugIns);
	fRejected = std::move(rejected);
	return status;
}

status_t VSTAddOn::InitCheck(const char** outFailureText)
{
	if (outFailureText != nullptr)
		*outFailureText = "";
	return B_OK;
}

int32 VSTAddOn::CountFlavors()
{
	std::lock_guard<std::mutex> guard(fLock);
	return int32(fFlavors.size());
}

status_t VSTAddOn::GetFlavorAt(int32 n, const flavor_info** outInfo)
{
	std::lock_guard<std::mutex> guard(fLock);
	if (n < 0 || n >= int32(fFlavors.size()))
		return B_BAD_INDEX;
	*outInfo = &fFlavors[size_t(n)]->info;
	return B_OK;
}

BMediaNode* VSTAddOn::InstantiateNodeFor(const flavor_info* info, BMessage*,
	status_t* outError)
{
	std::unique_ptr<VSTPlugIn> instance;
	std::string name;
	{
		std::lock_guard<std::mutex> guard(fLock);
		const int32 id = info != nullptr ? info->internal_id : -1;
		if (id < 0 || id >= int32(fPlugIns.size())) {
			*outError = B_BAD_INDEX;
			return nullptr;
		}
		VSTPlugIn& prototype = *fPlugIns[size_t(id)];
		const int32 category = prototype.getCategory();
		if (!prototype.canRealtime() || category == kPlugCategSynth
			|| category == kPlugCategAnalysis) {
			*outError = B_UNSUPPORTED;
			return nullptr;
		}
		instance = prototype.newInstance();
		name = prototype.Name();
	}
	if (!instance) {
		*outError = B_ERROR;
		return nullptr;
	}
	*outError = B_OK;
	return new VSTEffectNode(this, name.c_str(), std::move(instance));
}

status_t VSTAddOn::GetConfigurationFor(BMediaNode*, BMessage*)
{
	return B_UNSUPPORTED;
}

bool VSTAddOn::WantsAutoStart()
{
	return false;
}

void VSTAddOn::updatePlugIns()
{
	LoadPlugIns();
	NotifyFlavorChange();
}

std::vector<PlugInScanner::Rejected> VSTAddOn::RejectedFiles()
{
	std::lock_guard<std::mutex> guard(fLock);
	return fRejected;
}

bool VSTAddOn::IsMonitoring() const
{
	return fMonitor != nullptr && fMonitor->IsWatching();
}
