#include "cli/NoteCleaner.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNoPitch = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kShortestPeriod = 10;   // samples; above any note the engine tracks
constexpr int32_t kLongestPeriod = 4000;  // samples; below any
constexpr double kNoPeriodicity = 0.5;    // worse than this the signal does not repeat
constexpr int32_t kLevelWindow = 256;     // samples per level measurement
constexpr int32_t kLevelHop = 64;
constexpr double kRiseSeconds = 0.010;    // a rise of level is measured over this span
constexpr size_t kMedianSpan = 64;        // pitches that make a note's current pitch
constexpr int64_t kCheckEvery = 4;        // hops between checks of a steady pitch
constexpr double kSteadySemitones = 0.25; // a pitch that moves less is steady

struct Timed {
  double time;
  int value;
};

// Every change of one kind in time order (the lists of successive notes follow each other).
std::vector<Timed> Flatten(const std::vector<TranscribedNote>& notes,
                           std::vector<TimedValue> TranscribedNote::*field) {
  std::vector<Timed> all;
  for (const TranscribedNote& n : notes)
    for (const TimedValue& v : n.*field) all.push_back({v.time, v.value});
  return all;
}

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The fractional pitch the engine's decisions make sound at the start of each hop, or
// kNoPitch where no note sounds. The engine sends its first bend (centre) before any note.
std::vector<double> EnginePitches(const std::vector<TranscribedNote>& notes, int bendRange,
                                  int64_t hops, int32_t hop, double rate) {
  std::vector<double> pitch(static_cast<size_t>(hops), kNoPitch);
  const std::vector<Timed> bends = Flatten(notes, &TranscribedNote::bends);
  size_t note = 0, nextBend = 0;
  int bend = 8192;
  for (int64_t i = 0; i < hops; ++i) {
    const double t = static_cast<double>(i * hop) / rate;
    while (note < notes.size() && notes[note].offset <= t) ++note;
    while (nextBend < bends.size() && bends[nextBend].time <= t) bend = bends[nextBend++].value;
    if (note < notes.size() && notes[note].onset <= t)
      pitch[static_cast<size_t>(i)] = notes[note].note + (bend - 8192) * bendRange / 8191.0;
  }
  return pitch;
}

// How badly the signal around `centre` fails to repeat after `lag` samples: 0 for a
// perfect repetition, about 1 for none, 2 for an inversion.
double Aperiodicity(std::span<const int16_t> x, int64_t centre, int32_t lag, int32_t window) {
  const int64_t last = static_cast<int64_t>(x.size()) - window - lag;
  if (last < 0) return 1;
  const int64_t start = std::clamp<int64_t>(centre - window / 2, 0, last);
  double difference = 0, energy = 0;
  for (int64_t j = start; j < start + window; ++j) {
    const double a = x[static_cast<size_t>(j)], b = x[static_cast<size_t>(j + lag)];
    difference += (a - b) * (a - b);
    energy += a * a + b * b;
  }
  return energy > 0 ? difference / energy : 1;
}

// The engine's pitch moved to the harmonic relative the signal repeats at best: the
// shortest period whose repetition is within `margin` of the best one.
double CheckHarmonics(std::span<const int16_t> x, int64_t at, double pitch, double rate,
                      double margin) {
  const double period = rate / (440 * std::exp2((pitch - 69) / 12));
  const int32_t window = std::max(256, static_cast<int32_t>(2 * period));
  struct Candidate {
    double factor;
    int32_t lag;
    double aperiodicity;
  };
  Candidate candidates[5];
  int count = 0;
  double best = 2;
  for (double factor : {1.0 / 3, 0.5, 1.0, 2.0, 3.0}) {
    const double lag = std::round(period * factor);
    if (!(lag >= kShortestPeriod && lag <= kLongestPeriod)) continue;
    const auto l = static_cast<int32_t>(lag);
    candidates[count] = {factor, l, Aperiodicity(x, at, l, window)};
    best = std::min(best, candidates[count].aperiodicity);
    ++count;
  }
  for (int c = 0; c < count; ++c) {  // in order of rising period
    if (candidates[c].aperiodicity <= best + margin &&
        candidates[c].aperiodicity < kNoPeriodicity)
      return pitch - 12 * std::log2(candidates[c].factor);
  }
  return pitch;
}

struct Span {
  int64_t start, end;  // hops
  int note;
};

// Cuts the pitch track into notes (see the header, step 2).
std::vector<Span> Segment(const std::vector<double>& pitch, const CleanerSettings& s,
                          double hopsPerSecond) {
  const auto maxGap = static_cast<int64_t>(s.maxGapSeconds * hopsPerSecond);
  const int64_t settle = std::max<int64_t>(1, static_cast<int64_t>(s.settleSeconds * hopsPerSecond));
  const auto minLength = static_cast<int64_t>(s.minNoteSeconds * hopsPerSecond);
  std::vector<Span> spans;
  bool open = false;
  int64_t start = 0, end = 0, gap = 0, departure = -1;
  double reference = 0, departurePitch = 0;
  std::vector<double> values;
  auto close = [&] {
    if (open && end - start >= minLength && !values.empty()) {
      const double p = std::floor(Median(values) + 0.5);
      spans.push_back({start, end, static_cast<int>(std::clamp(p, 0.0, 127.0))});
    }
    open = false;
    departure = -1;
  };
  auto recent = [&] {
    const size_t from = values.size() > kMedianSpan ? values.size() - kMedianSpan : 0;
    return Median(std::vector<double>(values.begin() + static_cast<std::ptrdiff_t>(from),
                                      values.end()));
  };
  const auto hops = static_cast<int64_t>(pitch.size());
  for (int64_t i = 0; i < hops; ++i) {
    const double v = pitch[static_cast<size_t>(i)];
    if (std::isnan(v)) {
      if (open && ++gap > maxGap) close();
      continue;
    }
    gap = 0;
    if (!open) {
      open = true;
      start = i;
      end = i + 1;
      values.assign(1, v);
      reference = v;
      departure = -1;
      continue;
    }
    if (std::fabs(v - reference) > s.splitSemitones) {
      if (departure < 0 || std::fabs(v - departurePitch) > s.splitSemitones) {
        departure = i;
        departurePitch = v;
      }
      if (i - departure + 1 >= settle) {
        end = departure;
        const int64_t from = departure;
        close();
        open = true;
        start = from;
        end = i + 1;
        values.clear();
        for (int64_t j = from; j <= i; ++j)
          if (!std::isnan(pitch[static_cast<size_t>(j)]))
            values.push_back(pitch[static_cast<size_t>(j)]);
        reference = v;
        continue;
      }
    } else {
      departure = -1;
    }
    end = i + 1;
    values.push_back(v);
    reference = recent();
  }
  close();
  return spans;
}

// The rise of level (dB over kRiseSeconds) at each level hop.
std::vector<double> LevelRises(std::span<const int16_t> x, double rate, int32_t& riseHops) {
  const int64_t count = (static_cast<int64_t>(x.size()) - kLevelWindow) / kLevelHop;
  riseHops = std::max<int32_t>(1, static_cast<int32_t>(kRiseSeconds * rate / kLevelHop));
  if (count <= 0) return {};
  std::vector<double> sums(x.size() + 1, 0.0);
  for (size_t i = 0; i < x.size(); ++i) sums[i + 1] = sums[i] + double(x[i]) * double(x[i]);
  std::vector<double> level(static_cast<size_t>(count));
  for (int64_t j = 0; j < count; ++j) {
    const auto from = static_cast<size_t>(j * kLevelHop);
    level[static_cast<size_t>(j)] =
        10 * std::log10((sums[from + kLevelWindow] - sums[from]) / kLevelWindow + 1);
  }
  std::vector<double> rise(level.size(), 0.0);
  for (size_t j = static_cast<size_t>(riseHops); j < level.size(); ++j)
    rise[j] = level[j] - level[j - static_cast<size_t>(riseHops)];
  return rise;
}

}  // namespace

std::vector<TranscribedNote> CleanNotes(const std::vector<TranscribedNote>& engineNotes,
                                        int bendRange, std::span<const int16_t> samples,
                                        double sampleRate, const CleanerSettings& settings) {
  const int32_t hop = std::max<int32_t>(1, settings.hopSamples);
  if (!(sampleRate > 0) || engineNotes.empty() || bendRange <= 0) return {};
  const double hopsPerSecond = sampleRate / hop;
  const auto hops = static_cast<int64_t>(samples.size()) / hop;

  std::vector<double> pitch = EnginePitches(engineNotes, bendRange, hops, hop, sampleRate);
  // A steady pitch is checked every few hops and keeps the correction between; a pitch
  // that moves is checked at once.
  double checked = kNoPitch, shift = 0;
  int64_t checkedAt = 0;
  for (int64_t i = 0; i < hops; ++i) {
    double& p = pitch[static_cast<size_t>(i)];
    if (std::isnan(p)) {
      checked = kNoPitch;
      continue;
    }
    if (std::isnan(checked) || std::fabs(p - checked) > kSteadySemitones ||
        i - checkedAt >= kCheckEvery) {
      shift = CheckHarmonics(samples, i * hop, p, sampleRate, settings.harmonicMargin) - p;
      checked = p;
      checkedAt = i;
    }
    p += shift;
  }
  const std::vector<Span> spans = Segment(pitch, settings, hopsPerSecond);

  int32_t riseHops = 1;
  const std::vector<double> rise = LevelRises(samples, sampleRate, riseHops);
  const double levelHopsPerSecond = sampleRate / kLevelHop;
  const std::vector<Timed> expressions = Flatten(engineNotes, &TranscribedNote::expressions);

  std::vector<TranscribedNote> notes;
  double previousOnset = -1e9;
  size_t engineNote = 0, expression = 0;
  int currentExpression = -1;
  for (const Span& span : spans) {
    const double decided = static_cast<double>(span.start) / hopsPerSecond;
    double onset = decided;
    // Back to the steepest rise of level before the decision, when it is an attack.
    const double from = std::max({decided - settings.lookBackSeconds, previousOnset + 0.05, 0.0});
    const auto a = static_cast<int64_t>(from * levelHopsPerSecond);
    const auto b = std::min(static_cast<int64_t>((decided + 0.005) * levelHopsPerSecond),
                            static_cast<int64_t>(rise.size()));
    if (b > a + 1) {
      const auto steepest = std::max_element(rise.begin() + a, rise.begin() + b);
      if (*steepest > settings.minRiseDb) {
        const double attack = static_cast<double>(steepest - rise.begin() - riseHops) /
                                  levelHopsPerSecond +
                              0.5 * kLevelWindow / sampleRate;
        onset = std::max(0.0, std::min(onset, attack));
      }
    }
    previousOnset = onset;
    if (!notes.empty() && notes.back().offset > onset) notes.back().offset = onset;

    TranscribedNote n{span.note, onset, static_cast<double>(span.end) / hopsPerSecond, 127,
                      {}, {}};
    while (engineNote + 1 < engineNotes.size() && engineNotes[engineNote].offset <= decided)
      ++engineNote;
    n.velocity = engineNotes[engineNote].velocity;

    int lastBend = -1;
    for (int64_t i = span.start; i < span.end; ++i) {
      const double p = pitch[static_cast<size_t>(i)];
      // A departure that did not last (a glitch of the engine) does not bend the note.
      if (std::isnan(p) || std::fabs(p - span.note) > settings.splitSemitones + 0.5) continue;
      const int bend = static_cast<int>(
          std::clamp(std::trunc((p - span.note) * 8191 / bendRange + 8192), 0.0, 16383.0));
      if (lastBend < 0 || std::abs(bend - lastBend) > NoteTranscriber::kBendStep) {
        n.bends.push_back({static_cast<double>(i) / hopsPerSecond, bend});
        lastBend = bend;
      }
    }
    while (expression < expressions.size() && expressions[expression].time <= n.onset)
      currentExpression = expressions[expression++].value;
    if (currentExpression >= 0) n.expressions.push_back({n.onset, currentExpression});
    while (expression < expressions.size() && expressions[expression].time < n.offset) {
      currentExpression = expressions[expression++].value;
      n.expressions.push_back({expressions[expression - 1].time, currentExpression});
    }
    notes.push_back(std::move(n));
  }
  return notes;
}
