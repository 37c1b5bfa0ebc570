#include "midi/MidiPort.h"

#include "kernel/OS.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"

#include <cstring>

using midi_internal::ValidChannelMessage;

BMidiPort::BMidiPort(const char* name)
{
	if (name != nullptr)
		fInit = Open(name);
}

BMidiPort::~BMidiPort()
{
	Close();
}

status_t BMidiPort::Open(const char* name)
{
	if (name == nullptr || *name == '\0')
		return B_BAD_VALUE;
	Close();
	BMidiConsumer* port = BMidiRoster::FindConsumer(name);
	if (port == nullptr) {
		std::string known;
		for (int32 i = 0, n = CountDevices(); i < n; ++i)
			known += (known.empty() ? "" : ", ") + fDevices[static_cast<size_t>(i)];
		std::lock_guard<std::mutex> guard(fLock);
		fError = std::string("no MIDI port named '") + name + "' (ports: "
			+ (known.empty() ? "none" : known) + ")";
		return B_NAME_NOT_FOUND;
	}
	auto* out = new BMidiLocalProducer(name);
	const status_t status = out->Connect(port);
	if (status != B_OK) {
		out->Release();
		port->Release();
		std::lock_guard<std::mutex> guard(fLock);
		fError = std::string("the MIDI port '") + name + "' cannot be opened";
		return status;
	}
	{
		std::lock_guard<std::mutex> guard(fLock);
		fPort = port;
		fOut = out;
		fPortName = port->Name();
		fHead = fCount = 0;
		fQuit = false;
		fError.clear();
	}
	try {
		fSender = std::thread([this] {
			name_this_thread("midi port out");
			Send();
		});
	} catch (const std::system_error&) {
		Close();
		return B_NO_MORE_THREADS;
	}
	return B_OK;
}

void BMidiPort::Close()
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		fQuit = true;
	}
	fQueued.notify_all();
	if (fSender.joinable())
		fSender.join();
	BMidiConsumer* port = nullptr;
	BMidiLocalProducer* out = nullptr;
	{
		std::lock_guard<std::mutex> guard(fLock);
		std::swap(port, fPort);
		std::swap(out, fOut);
		fPortName.clear();
		fCount = 0;
	}
	fEmptied.notify_all();
	if (out != nullptr) {
		out->Disconnect(port);
		out->Release();
	}
	if (port != nullptr)
		port->Release();
}

std::string BMidiPort::PortName() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fPortName;
}

std::string BMidiPort::LastError() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fError;
}

void BMidiPort::Queue(uint8 status, uint8 data1, int data2)
{
	{
		std::lock_guard<std::mutex> guard(fLock);
		if (fOut == nullptr || fQuit)
			return;
		if (fCount == kQueueSize) {
			++fDropped;
			return;
		}
		Message& m = fQueue[(fHead + fCount) % kQueueSize];
		m.bytes[0] = status;
		m.bytes[1] = data1;
		m.bytes[2] = static_cast<uint8>(data2 < 0 ? 0 : data2);
		m.length = data2 < 0 ? 2 : 3;
		++fCount;
	}
	fQueued.notify_one();
}

void BMidiPort::Send()
{
	std::unique_lock<std::mutex> lock(fLock);
	for (;;) {
		fQueued.wait(lock, [this] { return fQuit || fCount > 0; });
		if (fQuit)
			return;
		const Message m = fQueue[fHead];
		fHead = (fHead + 1) % kQueueSize;
		--fCount;
		fSending = true;
		BMidiLocalProducer* out = fOut;
		lock.unlock();
		out->SprayData(m.bytes, m.length);
		lock.lock();
		fSending = false;
		if (fCount == 0)
			fEmptied.notify_all();
	}
}

status_t BMidiPort::Flush(bigtime_t timeout)
{
	std::unique_lock<std::mutex> lock(fLock);
	const bool done = fEmptied.wait_for(lock, std::chrono::microseconds(timeout),
		[this] { return (fCount == 0 && !fSending) || fOut == nullptr; });
	return done ? B_OK : B_TIMED_OUT;
}

int32 BMidiPort::Dropped() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fDropped;
}

void BMidiPort::NoteOff(uchar channel, uchar note, uchar velocity, uint32)
{
	if (TrackNote(channel, note, velocity, false))
		Queue(static_cast<uint8>(0x80 | (channel - 1)), note, velocity);
}

void BMidiPort::NoteOn(uchar channel, uchar note, uchar velocity, uint32)
{
	if (TrackNote(channel, note, velocity, true))
		Queue(static_cast<uint8>(0x90 | (channel - 1)), note, velocity);
}

void BMidiPort::KeyPressure(uchar channel, uchar note, uchar pressure, uint32)
{
	if (ValidChannelMessage(channel, note, pressure))
		Queue(static_cast<uint8>(0xA0 | (channel - 1)), note, pressure);
}

void BMidiPort::ControlChange(uchar channel, uchar controlNumber, uchar controlValue, uint32)
{
	if (ValidChannelMessage(channel, controlNumber, controlValue))
		Queue(static_cast<uint8>(0xB0 | (channel - 1)), controlNumber, controlValue);
}

void BMidiPort::ProgramChange(uchar channel, uchar programNumber, uint32)
{
	if (ValidChannelMessage(channel, programNumber))
		Queue(static_cast<uint8>(0xC0 | (channel - 1)), programNumber, -1);
}

void BMidiPort::ChannelPressure(uchar channel, uchar pressure, uint32)
{
	if (ValidChannelMessage(channel, pressure))
		Queue(static_cast<uint8>(0xD0 | (channel - 1)), pressure, -1);
}

void BMidiPort::PitchBend(uchar channel, uchar lsb, uchar msb, uint32)
{
	if (ValidChannelMessage(channel, lsb, msb))
		Queue(static_cast<uint8>(0xE0 | (channel - 1)), lsb, msb);
}

int32 BMidiPort::CountDevices()
{
	std::vector<std::string> names;
	int32 id = 0;
	while (BMidiConsumer* consumer = BMidiRoster::NextConsumer(&id)) {
		names.push_back(consumer->Name());
		consumer->Release();
	}
	std::lock_guard<std::mutex> guard(fLock);
	fDevices = std::move(names);
	return static_cast<int32>(fDevices.size());
}

status_t BMidiPort::GetDeviceName(int32 n, char* name, size_t bufSize)
{
	if (name == nullptr || bufSize == 0)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fLock);
	if (n < 0 || static_cast<size_t>(n) >= fDevices.size())
		return B_BAD_INDEX;
	const std::string& device = fDevices[static_cast<size_t>(n)];
	const size_t length = std::min(device.size(), bufSize - 1);
	std::memcpy(name, device.data(), length);
	name[length] = '\0';
	return B_OK;
}
