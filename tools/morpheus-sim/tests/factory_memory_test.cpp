// The factory-like memory and the lists, checked against the instrument's layouts with a
// parser and range tables of the test's own.
#include "SimTestSupport.h"

#include <map>
#include <set>

using morpheus_sim::MorpheusSimulator;
using namespace sim_test;

namespace {

struct Range {
	size_t index;
	int low;
	int high;
};

// Every parameter word of a preset that is not an instrument or filter id.
std::vector<Range> PresetRanges()
{
	std::vector<Range> r{{31, 0, 127}, {33, 0, 127}, {39, 0, 127}, {41, 0, 5}, {35, 0, 13},
		{37, 0, 5}, {43, 0, 3}, {45, 0, 5}, {47, 0, 2}, {49, 0, 1}, {51, 0, 127},
		{53, 0, 255}, {55, 0, 127}, {177, 0, 0}, {179, 0, 0}, {181, 0, 0}, {491, 0, 0},
		{561, 0, 0}, {421, -128, 127}, {409, 0, 127}, {213, -128, 127}, {311, -128, 127}};
	for (size_t i = 183; i <= 191; i += 2)
		r.push_back({i, -128, 127});
	for (size_t i = 411; i <= 419; i += 2)
		r.push_back({i, 0, 99});
	for (size_t c = 0; c < 10; ++c) {
		size_t o = 6 * c;
		r.insert(r.end(), {{57 + o, 0, 8}, {59 + o, 0, 50}, {61 + o, -128, 127},
			{117 + o, 0, 12}, {119 + o, 0, 50}, {121 + o, -128, 127}});
	}
	for (size_t o : {0, 10}) {
		r.insert(r.end(), {{193 + o, 0, 4}, {195 + o, 0, 127}, {197 + o, 0, 127},
			{199 + o, 0, 127}, {201 + o, -128, 127}});
	}
	for (size_t fg : {0, 98}) {
		for (size_t s = 0; s < 8; ++s) {
			size_t o = fg + 12 * s;
			r.insert(r.end(), {{215 + o, -127, 127}, {217 + o, 0, 4095}, {219 + o, 0, 62},
				{221 + o, 0, 15}, {223 + o, -127, 127}, {225 + o, 0, 7}});
		}
	}
	for (size_t o : {0, 70}) {
		r.insert(r.end(), {{475 + o, 0, 1}, {463 + o, 0, 127}, {461 + o, 0, 127},
			{465 + o, 0, 2}, {467 + o, 0, 4}, {451 + o, 0, 1}, {453 + o, -999, 999},
			{455 + o, -999, 999}, {457 + o, -999, 999}, {459 + o, -999, 999},
			{425 + o, 0, 127}, {427 + o, 0, 127}, {433 + o, -36, 36}, {437 + o, -64, 64},
			{435 + o, -36, 36}, {469 + o, 0, 127}, {471 + o, 0, 8}, {473 + o, 0, 15},
			{477 + o, 0, 1}, {481 + o, 0, 1}, {483 + o, 0, 255}, {485 + o, 0, 255},
			{487 + o, 0, 255}, {489 + o, 0, 255}, {439 + o, 0, 1}, {429 + o, 0, 127},
			{441 + o, 0, 99}, {443 + o, 0, 99}, {445 + o, 0, 99}, {447 + o, 0, 99},
			{449 + o, 0, 99}, {431 + o, -7, 7}});
	}
	return r;
}

struct ParsedEffectParam {
	std::string name;
	int low, high, limit;
};

struct ParsedEffect {
	int id;
	std::string name;
	std::vector<ParsedEffectParam> params;
};

// Reads one effect list at `p`; false when the message ends inside it.
bool ParseEffects(const Message& m, size_t& p, std::vector<ParsedEffect>& effects)
{
	if (p + 2 > m.size())
		return false;
	int count = Word(m, p);
	p += 2;
	for (int e = 0; e < count; ++e) {
		if (p + 16 > m.size())
			return false;
		ParsedEffect effect{Word(m, p), std::string(m.begin() + p + 2, m.begin() + p + 14), {}};
		int params = Word(m, p + 14);
		p += 16;
		for (int i = 0; i < params; ++i) {
			if (p + 17 > m.size())
				return false;
			effect.params.push_back({std::string(m.begin() + p, m.begin() + p + 11),
				Word(m, p + 11), Word(m, p + 13), Word(m, p + 15)});
			p += 17;
		}
		effects.push_back(effect);
	}
	return true;
}

}  // namespace

TEST(FactoryMemory, EveryPatchIsAWellFormedDumpWithValuesInRange)
{
	MorpheusSimulator sim(3);
	std::vector<Message> instruments = Send(sim, ListRequest(3, 0x0E));
	std::vector<Message> filters = Send(sim, ListRequest(3, 0x56));
	std::vector<Message> effects = Send(sim, ListRequest(3, 0x54));
	ASSERT_EQ(instruments.size(), 1u);
	ASSERT_EQ(filters.size(), 1u);
	ASSERT_EQ(effects.size(), 1u);
	std::set<int> instrumentIds{1792};
	for (size_t p = 6; p + 14 <= instruments[0].size(); p += 14)
		instrumentIds.insert(Word(instruments[0], p));
	std::set<int> filterIds;
	for (size_t p = 6; p + 16 <= filters[0].size(); p += 16)
		filterIds.insert(Word(filters[0], p));
	std::vector<ParsedEffect> listA, listB;
	size_t p = 4;
	ASSERT_TRUE(ParseEffects(effects[0], p, listA));
	ASSERT_TRUE(ParseEffects(effects[0], p, listB));

	std::set<std::string> names;
	for (int n = 0; n < 256; ++n) {
		SCOPED_TRACE("preset " + std::to_string(n));
		std::vector<Message> replies = Send(sim, PatchRequest(3, 0x00, n));
		ASSERT_EQ(replies.size(), 1u);
		const Message& d = replies[0];
		ASSERT_EQ(d.size(), 564u);
		EXPECT_EQ((Message{d.begin(), d.begin() + 7}),
			(Message{0x18, 0x0C, 3, 0x01, 0x01, uint8_t(n % 128), uint8_t(n / 128)}));
		EXPECT_TRUE(HasValidChecksum(d));
		names.insert(Name(d));
		for (const Range& r : PresetRanges()) {
			int v = Word(d, r.index);
			EXPECT_TRUE(v >= r.low && v <= r.high) << "index " << r.index << " = " << v;
		}
		for (size_t o : {0, 70}) {
			EXPECT_EQ(instrumentIds.count(Word(d, 423 + o)), 1u);
			EXPECT_EQ(filterIds.count(Word(d, 479 + o)), 1u);
		}
	}
	EXPECT_EQ(names.size(), 256u);
	EXPECT_EQ(names.count("Sim RAM 000 "), 1u);
	EXPECT_EQ(names.count("Sim ROM 127 "), 1u);

	for (int n = 0; n < 128; ++n) {
		SCOPED_TRACE("hyperpreset " + std::to_string(n));
		std::vector<Message> replies = Send(sim, PatchRequest(3, 0x44, n));
		ASSERT_EQ(replies.size(), 1u);
		const Message& d = replies[0];
		ASSERT_EQ(d.size(), 482u);
		EXPECT_EQ(d[3], 0x45);
		EXPECT_EQ(d[5], n);
		EXPECT_TRUE(HasValidChecksum(d));
		EXPECT_EQ(Word(d, 31) >= 0 && Word(d, 31) <= 5, true);
		for (size_t z = 0; z < 16; ++z) {
			size_t o = 22 * z;
			bool off = d[129 + o] == 0x7F && d[130 + o] == 0x7F;
			EXPECT_TRUE(off || (d[129 + o] <= 127 && d[130 + o] <= 2));
			std::vector<Range> zone{{131 + o, 0, 127}, {133 + o, -14, 14}, {135 + o, 0, 127},
				{137 + o, 0, 127}, {139 + o, 0, 127}, {141 + o, 0, 127}, {143 + o, -126, 126},
				{145 + o, -36, 36}, {147 + o, -36, 36}, {149 + o, -64, 64}};
			for (const Range& r : zone)
				EXPECT_TRUE(Word(d, r.index) >= r.low && Word(d, r.index) <= r.high);
		}
	}

	for (int n = 0; n < 16; ++n) {
		SCOPED_TRACE("midimap " + std::to_string(n));
		std::vector<Message> replies = Send(sim, PatchRequest(3, 0x46, n));
		ASSERT_EQ(replies.size(), 1u);
		const Message& d = replies[0];
		ASSERT_EQ(d.size(), 728u);
		EXPECT_EQ(d[3], 0x47);
		EXPECT_EQ(d[5], n);
		EXPECT_TRUE(HasValidChecksum(d));
		for (size_t c = 0; c < 16; ++c) {
			size_t o = 40 * c;
			EXPECT_TRUE(d[32 + o] <= 4 || (d[31 + o] == 0x7F && d[32 + o] == 0x7F));
			EXPECT_TRUE(Word(d, 37 + o) >= -8 && Word(d, 37 + o) <= 7);
			EXPECT_TRUE(Word(d, 39 + o) >= -1 && Word(d, 39 + o) <= 3);
			for (size_t i = 41; i <= 69; i += 2)
				EXPECT_TRUE(Word(d, i + o) == 0 || Word(d, i + o) == 1);
		}
		const std::vector<ParsedEffect>* lists[] = {&listA, &listB};
		for (size_t fx = 0; fx < 2; ++fx) {
			int id = Word(d, 673 + 22 * fx);
			const ParsedEffect* effect = nullptr;
			for (const ParsedEffect& e : *lists[fx])
				if (e.id == id)
					effect = &e;
			ASSERT_NE(effect, nullptr) << "effect id " << id;
			for (size_t i = 0; i < effect->params.size(); ++i) {
				const ParsedEffectParam& param = effect->params[i];
				int low = (param.name == "Feedback   " && param.low == 129) ? -127 : param.low;
				int v = Word(d, 675 + 22 * fx + 2 * i);
				EXPECT_TRUE(v >= low && v <= param.high) << param.name << " = " << v;
			}
			EXPECT_TRUE(Word(d, 717 + 2 * fx) >= 0 && Word(d, 717 + 2 * fx) <= 100);
			EXPECT_TRUE(Word(d, 723 + 2 * fx) >= 0 && Word(d, 723 + 2 * fx) <= 2);
		}
	}
}

TEST(FactoryMemory, ListsFollowTheirLayouts)
{
	MorpheusSimulator sim(0);
	Message instruments = Send(sim, ListRequest(0, 0x0E)).at(0);
	ASSERT_GE(instruments.size(), 6u);
	EXPECT_EQ((Message{instruments.begin(), instruments.begin() + 4}),
		(Message{0x18, 0x0C, 0, 0x0F}));
	int count = Word(instruments, 4);
	EXPECT_GE(count, 24);
	EXPECT_EQ(instruments.size(), 6u + 14u * static_cast<size_t>(count));
	EXPECT_EQ(std::string(instruments.begin() + 8, instruments.begin() + 19), "Sim Piano 1");
	EXPECT_EQ(Word(instruments, 6), 1793);

	Message filters = Send(sim, ListRequest(0, 0x56)).at(0);
	EXPECT_EQ(filters[3], 0x57);
	int filterCount = Word(filters, 4);
	EXPECT_GE(filterCount, 8);
	EXPECT_EQ(filters.size(), 6u + 16u * static_cast<size_t>(filterCount));

	Message effects = Send(sim, ListRequest(0, 0x54)).at(0);
	EXPECT_EQ(effects[3], 0x55);
	std::vector<ParsedEffect> listA, listB;
	size_t p = 4;
	ASSERT_TRUE(ParseEffects(effects, p, listA));
	ASSERT_TRUE(ParseEffects(effects, p, listB));
	EXPECT_EQ(p, effects.size()) << "the two lists fill the message";
	EXPECT_GE(listA.size(), 4u);
	EXPECT_GE(listB.size(), 4u);
	int withSeveralParams = 0;
	bool feedbackQuirk = false;
	for (const auto* list : {&listA, &listB}) {
		std::set<int> ids;
		for (const ParsedEffect& e : *list) {
			ids.insert(e.id);
			withSeveralParams += e.params.size() >= 2;
			EXPECT_LE(e.params.size(), 10u) << "a midimap has ten value words";
			for (const ParsedEffectParam& param : e.params) {
				feedbackQuirk |= param.name == "Feedback   " && param.low == 129;
				EXPECT_LE(param.limit, param.high);
			}
		}
		EXPECT_EQ(ids.size(), list->size()) << "effect ids are unique within a list";
	}
	EXPECT_GE(withSeveralParams, 6);
	EXPECT_TRUE(feedbackQuirk) << "feedback ranges are reported as the instrument does";
}
