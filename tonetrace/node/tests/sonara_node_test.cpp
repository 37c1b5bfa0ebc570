// The node in the media graph: connection rules, a tone through the roster, parameters at
// their time, and nothing allocated while buffers flow.
#include <gtest/gtest.h>

#include <thread>

#include "RecordingMidi.h"
#include "media/MediaRoster.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"
#include "node/SonaraNode.h"
#include "testing/AllocationCounter.h"
#include "testing/ScratchDir.h"

namespace {

class SonaraNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mScratch.Valid());
    mScratch.UseAsHome();
    mOwner.mPreferences.internalSynth = 0;  // no synthesizer: the owner sees the notes
    mRoster = BMediaRoster::Roster();
    ASSERT_NE(mRoster, nullptr);
  }

  // A tone generator connected to a registered node; both started.
  void Play(float hz, uint32 channels, uint32 sampleFormat) {
    mTone = new ToneGeneratorNode(hz, -10, 44100, channels);
    ASSERT_EQ(mRoster->RegisterNode(mTone), B_OK);
    mNode = new SonaraNode(&mOwner, nullptr, "", 1);
    ASSERT_EQ(mRoster->RegisterNode(mNode), B_OK);
    int32 count = 0;
    ASSERT_EQ(mRoster->GetFreeOutputsFor(mTone->Node(), &mOutput, 1, &count), B_OK);
    ASSERT_EQ(mRoster->GetFreeInputsFor(mNode->Node(), &mInput, 1, &count), B_OK);
    media_format format = media_format::RawAudioFormat();
    format.u.raw_audio.format = sampleFormat;
    ASSERT_EQ(mRoster->Connect(mOutput.source, mInput.destination, &format, &mOutput, &mInput),
              B_OK);
    const bigtime_t now = mTone->TimeSource()->Now();
    ASSERT_EQ(mRoster->StartNode(mNode->Node(), now), B_OK);
    ASSERT_EQ(mRoster->StartNode(mTone->Node(), now + 10000), B_OK);
  }

  void TearDown() override {
    if (mTone != nullptr) {
      mRoster->StopNode(mTone->Node(), 0, true);
      mRoster->Disconnect(mOutput, mInput);
      mTone->Release();
    }
    if (mNode != nullptr) mNode->Release();
  }

  ScratchDir mScratch{"sonara-node"};
  RecordingOwner mOwner;
  BMediaRoster* mRoster = nullptr;
  ToneGeneratorNode* mTone = nullptr;
  SonaraNode* mNode = nullptr;
  media_output mOutput;
  media_input mInput;
};

TEST_F(SonaraNodeTest, RefusesForeignDestinationsAndASecondConnection) {
  // Not registered yet: its hooks run on this thread.
  auto* node = new SonaraNode(&mOwner, nullptr, "", 1);
  media_input input;
  int32 cookie = 0;
  ASSERT_EQ(node->GetNextInput(&cookie, &input), B_OK);
  EXPECT_EQ(node->GetNextInput(&cookie, &input), B_BAD_INDEX);
  EXPECT_EQ(input.format.u.raw_audio.channel_count, 1u);
  EXPECT_EQ(input.format.u.raw_audio.buffer_size, 1024u);
  const media_destination foreign(input.destination.port + 1, 7);
  media_format format = media_format::RawAudioFormat();
  EXPECT_EQ(node->AcceptFormat(foreign, &format), B_MEDIA_BAD_DESTINATION);
  media_format raw = media_format::RawAudioFormat();
  raw.u.raw_audio = {44100, 1, media_raw_audio_format::B_AUDIO_SHORT, B_MEDIA_HOST_ENDIAN, 1024, 0};
  media_input out;
  EXPECT_EQ(node->Connected(media_source(5, 0), foreign, raw, &out), B_MEDIA_BAD_DESTINATION);
  ASSERT_EQ(node->Connected(media_source(5, 0), input.destination, raw, &out), B_OK);
  EXPECT_EQ(node->Connected(media_source(6, 0), input.destination, raw, &out),
            B_MEDIA_BAD_DESTINATION);
  node->Disconnected(media_source(5, 0), input.destination);
  EXPECT_EQ(node->Connected(media_source(6, 0), input.destination, raw, &out), B_OK);
  bigtime_t latency = 0;
  media_node_id clock = -1;
  EXPECT_EQ(node->GetLatencyFor(foreign, &latency, &clock), B_MEDIA_BAD_DESTINATION);
  EXPECT_EQ(node->GetLatencyFor(input.destination, &latency, &clock), B_OK);
  EXPECT_EQ(latency, SonaraNode::kEventLatency);
  node->Release();
}

TEST_F(SonaraNodeTest, AToneThroughTheRosterBecomesItsNoteInAnySampleFormat) {
  Play(440, 2, media_raw_audio_format::B_AUDIO_FLOAT);  // float stereo: converted
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mNote.load() == 69; }))
      << "notes shown: " << mOwner.NotesShown().size();
  // A second producer cannot take the occupied input.
  auto* other = new ToneGeneratorNode(220, -10);
  ASSERT_EQ(mRoster->RegisterNode(other), B_OK);
  media_output second;
  int32 count = 0;
  ASSERT_EQ(mRoster->GetFreeOutputsFor(other->Node(), &second, 1, &count), B_OK);
  media_format format = media_format::RawAudioFormat();
  media_input in;
  EXPECT_EQ(mRoster->Connect(second.source, mInput.destination, &format, &second, &in),
            B_MEDIA_BAD_DESTINATION);
  other->Release();
}

TEST_F(SonaraNodeTest, ParametersApplyOnTheNodesThreadAndReadBack) {
  Play(440, 1, media_raw_audio_format::B_AUDIO_SHORT);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mNote.load() == 69; }));
  const int32 violin = 6;
  ASSERT_EQ(mRoster->SetParameterValue(mNode->Node(), SonaraCore::kPreset, &violin, 4, 0), B_OK);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mMin.load() == 55; }));
  // Read through the roster, on the node's thread.
  float lowest = 0;
  size_t size = sizeof lowest;
  bigtime_t changed = 0;
  ASSERT_EQ(mRoster->GetParameterValue(mNode->Node(), SonaraCore::kLowestNote, &lowest, &size,
                                       &changed), B_OK);
  EXPECT_EQ(lowest, 55);
  EXPECT_EQ(mRoster->GetParameterValue(mNode->Node(), 1234, &lowest, &size, &changed), B_ERROR);

  // An octave up, then the tone stops and comes back: its new note is 81.
  const float octave = 12;
  mNode->SetParameterValue(SonaraCore::kTranspose, mTone->TimeSource()->Now(), &octave, 4);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mTranspose.load() == 12; }));
  const float quiet = -120, loud = -10;
  mRoster->SetParameterValue(mTone->Node(), ToneGeneratorNode::kLevelParameter, &quiet, 4, 0);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mNote.load() == 0; }));
  mRoster->SetParameterValue(mTone->Node(), ToneGeneratorNode::kLevelParameter, &loud, 4, 0);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mNote.load() == 81; }))
      << ::testing::PrintToString(mOwner.NotesShown());
}

TEST_F(SonaraNodeTest, NothingIsAllocatedWhileBuffersFlow) {
  Play(440, 1, media_raw_audio_format::B_AUDIO_SHORT);
  ASSERT_TRUE(mOwner.WaitUntil([](RecordingOwner& o) { return o.mNote.load() == 69; }));
  mOwner.mRecording = true;  // the store's events are made up front
  AllocationCounter counter(AllocationCounter::kAllThreads);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
