// The transport's arithmetic against a song form: bars, marks (sections and
// cues), the position line, and the music calls behind each key, with a fake
// music clock.
#include <gtest/gtest.h>

#include <cmath>

#include "author/Transport.h"
#include "tests/support/fake_audio.h"

namespace {

SongForm Song() {
    SongForm song;
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseSongForm("section 0 16 intro\nsection 16 48 groove\nsection 48 80 drop\n"
                              "cue 0 start\ncue 32 bass_in\ncue 48 drop\ncue 78 riser\ncue 80 end\n",
                              "song.txt", song, errors));
    return song;
}

class TransportTest : public ::testing::Test {
protected:
    SongForm song = Song();
    FakeAudio music;
    Transport transport{&music, &song};
};

}  // namespace

TEST(TransportArithmetic, BarsForwardToTheNextBarAndBackToTheBarPlayingOrTheOneBefore) {
    EXPECT_EQ(BarAfter(0), 4);
    EXPECT_EQ(BarAfter(3.9), 4);
    EXPECT_EQ(BarAfter(3.995), 8);  // a hair before a bar counts as on it
    EXPECT_EQ(BarAfter(4), 8);
    EXPECT_EQ(BarAfter(83.9), 84);
    EXPECT_EQ(BarBefore(10), 8);    // back to the bar playing
    EXPECT_EQ(BarBefore(8.2), 4);   // just started: the bar before
    EXPECT_EQ(BarBefore(8), 4);
    EXPECT_EQ(BarBefore(0.3), 0);   // nothing before the song
    EXPECT_EQ(BarBefore(BarBefore(13)), 8);  // twice keeps going back
}

TEST(TransportArithmetic, MarksAreSectionStartsAndCuesBeforeTheEndOnce) {
    const std::vector<double> marks = SongMarks(Song());
    EXPECT_EQ(marks, (std::vector<double>{0, 16, 32, 48, 78}));
    EXPECT_EQ(MarkAfter(marks, 0), 16);
    EXPECT_EQ(MarkAfter(marks, 20), 32);
    EXPECT_EQ(MarkAfter(marks, 78), 78) << "no mark after the last one";
    EXPECT_EQ(MarkBefore(marks, 40), 32);
    EXPECT_EQ(MarkBefore(marks, 32.2), 16);
    EXPECT_EQ(MarkBefore(marks, 0.2), 0);
    EXPECT_EQ(MarkBefore({}, 5), 5);
}

TEST(TransportArithmetic, PositionLineIsBeatSixteenthAndSection) {
    const SongForm song = Song();
    EXPECT_EQ(PositionLine(song, 0), "at 0:00 intro");
    EXPECT_EQ(PositionLine(song, 16), "at 16:00 groove");
    EXPECT_EQ(PositionLine(song, 52.5), "at 52:08 drop");
    EXPECT_EQ(PositionLine(song, 47.99), "at 47:15 groove");
    EXPECT_EQ(PositionLine(song, 80), "at 80:00 -");
}

TEST_F(TransportTest, KeysSeekTheMusicAndReportWhereItLanded) {
    music.position = 21;
    EXPECT_EQ(transport.Press(TransportKey::BarForward), "at 24:00 groove");
    EXPECT_FLOAT_EQ(music.position, RowMiddle(24));
    EXPECT_EQ(transport.Press(TransportKey::BarBack), "at 20:00 groove");
    EXPECT_EQ(transport.Press(TransportKey::MarkForward), "at 32:00 groove");
    EXPECT_EQ(transport.Press(TransportKey::MarkForward), "at 48:00 drop");
    EXPECT_EQ(transport.Press(TransportKey::MarkBack), "at 32:00 groove");
    EXPECT_EQ(transport.Press(TransportKey::End), "at 78:00 drop");
    EXPECT_EQ(transport.Press(TransportKey::Start), "at 0:00 intro");
    EXPECT_FLOAT_EQ(music.position, RowMiddle(0));
}

TEST(TransportArithmetic, SeeksLandInTheMiddleOfTheirRow) {
    // A device that rounds a seek down by a sample still reads the row asked for.
    for (double beat : {0.0, 80.0, 149.9999, 150.0, 255.9375}) {
        const double landed = RowMiddle(beat) - 1e-4;
        EXPECT_EQ(std::floor(landed * 16), std::floor(beat * 16 + 1e-6)) << beat;
    }
    EXPECT_DOUBLE_EQ(RowMiddle(80), 80 + 1.0 / 32);
    EXPECT_DOUBLE_EQ(RowMiddle(80 + 0.5 / 16), 80 + 1.0 / 32) << "a seek already in the middle stays there";
}

TEST_F(TransportTest, SeeksStayInsideTheSong) {
    music.position = 79.5;
    EXPECT_EQ(transport.Press(TransportKey::BarForward), "at 79:15 drop");
    EXPECT_LT(music.position, 80);
    music.position = -3;
    transport.Press(TransportKey::BarBack);
    EXPECT_FLOAT_EQ(music.position, RowMiddle(0));
}

// A device that, once paused, reads where its last sound was heard: one
// latency past what it read while playing.
class LatentPause final : public FakeAudio {
public:
    void Pause() override { position += 0.1f; }
};

TEST(TransportPause, TogglesAndSaysWhereTheShowHolds) {
    SongForm song = Song();
    LatentPause music;
    Transport transport{&music, &song};
    music.position = 12.2f;
    EXPECT_EQ(transport.Press(TransportKey::PauseResume), "at 12:04 intro") << "where it holds, not 12:03";
    EXPECT_TRUE(transport.Paused());
    EXPECT_FLOAT_EQ(music.position, 12.3f) << "a pause is not a seek";
    transport.Press(TransportKey::PauseResume);
    EXPECT_FALSE(transport.Paused());
}

TEST_F(TransportTest, LoopTurnsBackAtTheSectionsEndAndFollowsSeeks) {
    music.position = 20;
    transport.Press(TransportKey::Loop);
    ASSERT_TRUE(transport.Looping());
    EXPECT_EQ(transport.LoopStart(), 16);
    EXPECT_EQ(transport.LoopEnd(), 48);
    music.position = 47.9f;
    EXPECT_FALSE(transport.Tick());
    music.position = 48.01f;
    EXPECT_TRUE(transport.Tick());
    EXPECT_FLOAT_EQ(music.position, RowMiddle(16));
    transport.Press(TransportKey::MarkForward);  // 32, same section
    transport.Press(TransportKey::MarkForward);  // 48: the loop moves to the drop
    EXPECT_EQ(transport.LoopStart(), 48);
    // The last section turns before the song could stop.
    music.position = 79.8f;
    EXPECT_TRUE(transport.Tick());
    EXPECT_FLOAT_EQ(music.position, RowMiddle(48));
    transport.Press(TransportKey::Loop);
    music.position = 79.8f;
    EXPECT_FALSE(transport.Tick());
}

TEST_F(TransportTest, APausedLoopDoesNotTurn) {
    music.position = 20;
    transport.Press(TransportKey::Loop);
    transport.Press(TransportKey::PauseResume);
    music.position = 60;
    EXPECT_FALSE(transport.Tick());
}
