// The scan child's report: what the child writes reads back as it was meant, in any
// pieces; what a plug-in scribbles on the pipe cannot name files the child was not given,
// go back in the order or grow without end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/ScanReport.h"

namespace {

using Event = ScanReportReader::Event;

std::vector<Event> Read(ScanReportReader& reader, const std::string& bytes)
{
	std::vector<Event> events;
	reader.Append(bytes.data(), bytes.size(), &events);
	return events;
}

}  // namespace

TEST(ScanReport, WhatTheChildWritesReadsBackInAnyPieces)
{
	std::string report = scan_report::BeginLine(0) + scan_report::LoadedLine(0)
		+ scan_report::BeginLine(1)
		+ scan_report::RefusedLine(1, B_BAD_VALUE, "no entry\nfound\r") + scan_report::BeginLine(2);
	for (size_t step : {size_t(1), size_t(3), report.size()}) {
		ScanReportReader reader(3);
		std::vector<Event> events;
		for (size_t at = 0; at < report.size(); at += step)
			reader.Append(report.data() + at, std::min(step, report.size() - at), &events);
		ASSERT_EQ(events.size(), 5u) << step;
		EXPECT_EQ(events[0].kind, Event::kBegin);
		EXPECT_EQ(events[1].kind, Event::kLoaded);
		EXPECT_EQ(events[1].file, 0u);
		EXPECT_EQ(events[3].kind, Event::kRefused);
		EXPECT_EQ(events[3].file, 1u);
		EXPECT_EQ(events[3].status, B_BAD_VALUE);
		EXPECT_EQ(events[3].reason, "no entry found ");
		EXPECT_EQ(events[4].file, 2u);
		// The child began on file 2 and said nothing more: crashed or hung there.
		EXPECT_EQ(reader.Next(), 2u);
		EXPECT_TRUE(reader.Begun());
	}
}

TEST(ScanReport, LinesAboutOtherFilesOrOutOfOrderAreDropped)
{
	ScanReportReader reader(3);
	// Numbers at or past the count, one that wraps when added to the child's first file,
	// signs, spaces and bytes the child never writes.
	EXPECT_TRUE(Read(reader, "begin 3\nbegin 18446744073709551615\nbegin -1\nbegin +1\n"
		"begin  1\nbegin 1 \nok\nbegin\n\nBEGIN 0\nbegin 0x1\n"
		+ std::string("begin \0 1\n", 10)).empty());
	EXPECT_EQ(reader.Next(), 0u);
	EXPECT_FALSE(reader.Begun());

	// A result before its file began; a file begun twice; a result for another file.
	EXPECT_TRUE(Read(reader, "ok 0\nfail 0 -1 no\n").empty());
	EXPECT_EQ(Read(reader, "begin 1\nbegin 1\nok 0\nok 2\n").size(), 1u);
	EXPECT_EQ(reader.Next(), 1u);
	// Statuses that do not fit a status_t; success given as a refusal.
	EXPECT_TRUE(Read(reader, "fail 1 2147483648 big\nfail 1 -2147483649 small\n"
		"fail 1 -5x why\nfail 1\n").empty());
	std::vector<Event> refused = Read(reader, "fail 1 0 said nothing\n");
	ASSERT_EQ(refused.size(), 1u);
	EXPECT_EQ(refused[0].status, B_ERROR);
	EXPECT_EQ(refused[0].reason, "said nothing");
	// Back to a file before the last one reported.
	EXPECT_TRUE(Read(reader, "begin 1\nbegin 0\n").empty());
	EXPECT_EQ(Read(reader, "begin 2\nfail 2 -2147483648\n").size(), 2u);
	EXPECT_EQ(reader.Next(), 3u);
	EXPECT_FALSE(reader.Begun());
}

TEST(ScanReport, AnEndlessLineIsDroppedWholeAndTheNextOneCounts)
{
	ScanReportReader reader(1);
	std::string noise(scan_report::kMaxLine, 'x');
	std::vector<Event> events;
	// "begin 0" hidden at the end of a line that grew too long is not a begin.
	for (int i = 0; i < 100; i++)
		reader.Append(noise.data(), noise.size(), &events);
	EXPECT_TRUE(Read(reader, "begin 0\n").empty());
	EXPECT_EQ(Read(reader, "begin 0\n").size(), 1u);
	EXPECT_TRUE(reader.Begun());
}
