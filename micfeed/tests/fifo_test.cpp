#include "FiFo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

namespace {

std::vector<char> Bytes(int32 count, int first)
{
	std::vector<char> bytes(count);
	for (int32 i = 0; i < count; i++)
		bytes[i] = char(first + i * 7);
	return bytes;
}

TEST(FiFo, KeepsOrderAcrossTheEndOfTheRingAndCountsFreeSpace)
{
	FiFo<char> fifo(2048);
	ASSERT_EQ(fifo.InitCheck(), B_OK);
	EXPECT_EQ(fifo.spaceleft(), 2048);

	std::vector<char> first = Bytes(1500, 1);
	ASSERT_EQ(fifo.write(first.data(), 1500), 1500);
	EXPECT_EQ(fifo.spaceleft(), 548);
	std::vector<char> out(1500);
	ASSERT_EQ(fifo.read(out.data(), 1500), 1500);
	EXPECT_EQ(out, first);
	EXPECT_EQ(fifo.spaceleft(), 2048);

	// 1000 bytes starting at 1500 wrap after 548.
	std::vector<char> second = Bytes(1000, 3);
	ASSERT_EQ(fifo.write(second.data(), 1000), 1000);
	out.assign(1000, 0);
	ASSERT_EQ(fifo.read(out.data(), 1000), 1000);
	EXPECT_EQ(out, second);
}

TEST(FiFo, RefusesMoreThanItHoldsAndGivesUpAfterItsTimeOut)
{
	FiFo<char> fifo(64);
	std::vector<char> bytes(65);
	EXPECT_EQ(fifo.write(bytes.data(), 65), -1);
	EXPECT_EQ(fifo.read(bytes.data(), 65), -1);
	EXPECT_EQ(fifo.spaceleft(), 64);

	EXPECT_EQ(fifo.read(bytes.data(), 1, 20000), 0);   // empty
	ASSERT_EQ(fifo.write(bytes.data(), 64), 64);
	EXPECT_EQ(fifo.write(bytes.data(), 1, 20000), 0);  // full
	EXPECT_EQ(fifo.spaceleft(), 0);

	FiFo<char> broken(0);
	EXPECT_NE(broken.InitCheck(), B_OK);
	EXPECT_EQ(broken.read(bytes.data(), 1), -1);
	EXPECT_EQ(broken.spaceleft(), 0);
}

TEST(FiFo, AReaderWaitsUntilItsWholeCountHasArrived)
{
	FiFo<char> fifo(256);
	std::vector<char> sent = Bytes(200, 5);
	std::atomic<bool> done{false};
	std::vector<char> received(200);
	std::thread reader([&] {
		EXPECT_EQ(fifo.read(received.data(), 200), 200);
		done = true;
	});
	// 150 bytes are not enough.
	ASSERT_EQ(fifo.write(sent.data(), 150), 150);
	snooze(50000);
	EXPECT_FALSE(done.load());
	ASSERT_EQ(fifo.write(sent.data() + 150, 50), 50);
	reader.join();
	EXPECT_TRUE(done.load());
	EXPECT_EQ(received, sent);
	EXPECT_EQ(fifo.spaceleft(), 256);
}

TEST(FiFo, CarriesAStreamBetweenTwoThreadsUnchanged)
{
	FiFo<char> fifo(2048);
	constexpr int32 kTotal = 1 << 20;
	std::thread writer([&] {
		std::vector<char> piece(512);
		for (int32 at = 0; at < kTotal; at += 512) {
			for (int32 i = 0; i < 512; i++)
				piece[i] = char((at + i) % 251);
			ASSERT_EQ(fifo.write(piece.data(), 512), 512);
		}
	});
	std::vector<char> piece(1024);
	int32 wrong = 0;
	for (int32 at = 0; at < kTotal; at += 1024) {
		ASSERT_EQ(fifo.read(piece.data(), 1024), 1024);
		for (int32 i = 0; i < 1024; i++)
			wrong += piece[i] != char((at + i) % 251);
	}
	writer.join();
	EXPECT_EQ(wrong, 0);
}

}  // namespace
