#include "midi/MidiProducer.h"

#include "midi/MidiClock.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiMessages.h"
#include "midi/MidiParser.h"
#include "midi/RosterCore.h"
#include "midi/SystemPorts.h"

using namespace midi_internal;

BMidiProducer::BMidiProducer(const char* name, bool isLocal)
	: BMidiEndpoint(name, true, isLocal)
{
}

BMidiProducer::~BMidiProducer() = default;

status_t BMidiProducer::Connect(BMidiConsumer* consumer)
{
	return RosterCore::Get().Connect(this, consumer);
}

status_t BMidiProducer::Disconnect(BMidiConsumer* consumer)
{
	return RosterCore::Get().Disconnect(this, consumer);
}

bool BMidiProducer::IsConnected(BMidiConsumer* consumer) const
{
	return consumer != nullptr && RosterCore::Get().IsConnected(this, consumer);
}

int32 BMidiProducer::CountConnections() const
{
	return RosterCore::Get().CountConnections(this);
}

BMidiLocalProducer::BMidiLocalProducer(const char* name)
	: BMidiProducer(name, true)
{
}

BMidiLocalProducer::~BMidiLocalProducer() = default;

status_t BMidiLocalProducer::SprayMessage(const uint8* bytes, size_t length, bigtime_t time)
{
	if (time == 0)
		time = MidiNow();
	std::vector<BMidiConsumer*> consumers = RosterCore::Get().AcquireConnections(this);
	status_t result = B_OK;
	for (BMidiConsumer* consumer : consumers) {
		status_t status = consumer->DeliverMessage(bytes, length, time);
		if (status != B_OK && result == B_OK)
			result = status;
		consumer->Release();
	}
	std::shared_ptr<PublishedPort> published;
	{
		std::lock_guard lock(fPublishLock);
		published = fPublished;
	}
	if (published != nullptr) {
		status_t status = published->Send(bytes, length);
		if (status != B_OK && result == B_OK)
			result = status;
	}
	return result;
}

void BMidiLocalProducer::PublishEndpoint(bool publish)
{
	std::shared_ptr<PublishedPort> old;
	{
		std::lock_guard lock(fPublishLock);
		if (publish && fPublished == nullptr)
			fPublished = PublishedPort::ForProducer(Name());
		else if (!publish)
			old = std::move(fPublished);
	}
	// `old` closes here, once no spray uses it any more
}

bool BMidiLocalProducer::RetireEndpoint()
{
	PublishEndpoint(false);
	return true;
}

status_t BMidiLocalProducer::SprayData(const void* data, size_t length, bool atomic,
	bigtime_t time)
{
	if (data == nullptr || length == 0)
		return B_BAD_VALUE;
	// Checked whole before anything leaves, so bad bytes send nothing.
	std::vector<std::vector<uint8>> messages;
	MidiParser parser;
	parser.Feed(static_cast<const uint8*>(data), length,
		[&](const uint8_t* message, size_t size) {
			messages.emplace_back(message, message + size);
		});
	if (parser.DroppedBytes() != 0 || !parser.AtMessageBoundary())
		return B_BAD_VALUE;
	if (time == 0)
		time = MidiNow();
	status_t result = B_OK;
	for (auto& message : messages) {
		status_t status = SprayMessage(message.data(), message.size(), time);
		if (status != B_OK && result == B_OK)
			result = status;
	}
	return result;
}

status_t BMidiLocalProducer::SprayNoteOff(uchar channel, uchar note, uchar velocity,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0x80, channel, note, velocity, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayNoteOn(uchar channel, uchar note, uchar velocity,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0x90, channel, note, velocity, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayKeyPressure(uchar channel, uchar note, uchar pressure,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0xA0, channel, note, pressure, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayControlChange(uchar channel, uchar controlNumber,
	uchar controlValue, bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0xB0, channel, controlNumber, controlValue, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayProgramChange(uchar channel, uchar programNumber,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0xC0, channel, programNumber, 0, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayChannelPressure(uchar channel, uchar pressure,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0xD0, channel, pressure, 0, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SprayPitchBend(uchar channel, uchar lsb, uchar msb,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = BuildChannelMessage(0xE0, channel, lsb, msb, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SpraySystemExclusive(const void* data, size_t length,
	bigtime_t time)
{
	std::vector<uint8_t> message;
	status_t status = FrameSystemExclusive(data, length, message);
	return status != B_OK ? status : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SpraySystemCommon(uchar status, uchar data1, uchar data2,
	bigtime_t time)
{
	if (status == 0xF0 || status >= 0xF7)
		return B_BAD_VALUE;
	std::vector<uint8_t> message;
	status_t result = BuildSystemMessage(status, data1, data2, message);
	return result != B_OK ? result : SprayMessage(message.data(), message.size(), time);
}

status_t BMidiLocalProducer::SpraySystemRealTime(uchar status, bigtime_t time)
{
	if (status < 0xF8)
		return B_BAD_VALUE;
	std::vector<uint8_t> message;
	status_t result = BuildSystemMessage(status, 0, 0, message);
	return result != B_OK ? result : SprayMessage(message.data(), message.size(), time);
}
