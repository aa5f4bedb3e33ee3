// The author's music around a recording stand-in for the sound system: a
// pause counts as playing, a song played out is held paused at the last
// known position (read while playing, or sought to since), and a song that
// never played ends the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "author/AuthorMusic.h"
#include "author/Transport.h"

namespace {

class ScriptedMusic final : public IDemoAudioSystem {
public:
    explicit ScriptedMusic(std::vector<std::string>* calls) : calls(calls) {}
    bool Init() override { return true; }
    void Shutdown() override {}
    void SetListenerPosition(float, float, float) override {}
    bool LoadSong(const char*, float) override { return true; }
    void Play() override {
        calls->push_back("play");
        playing = true;
    }
    void Pause() override {
        calls->push_back("pause");
        playing = false;
    }
    void Stop() override { playing = false; }
    bool IsPlaying() override { return playing; }
    void SetVolume(float) override {}
    float GetPosition() override { return position; }
    void SetPosition(float beats) override {
        calls->push_back("seek " + std::to_string(static_cast<int>(beats)));
        position = beats;
    }

    bool playing = false;
    float position = 0;
    std::vector<std::string>* calls;
};

class AuthorMusicTest : public ::testing::Test {
protected:
    std::vector<std::string> calls;
    ScriptedMusic* inner = new ScriptedMusic(&calls);  // owned by music
    AuthorMusic music{std::unique_ptr<IDemoAudioSystem>(inner)};
};

}  // namespace

TEST_F(AuthorMusicTest, APauseStillCountsAsPlaying) {
    music.Play();
    EXPECT_TRUE(music.IsPlaying());
    music.Pause();
    EXPECT_FALSE(inner->playing);
    EXPECT_TRUE(music.IsPlaying());
    music.Play();
    EXPECT_TRUE(music.IsPlaying());
    music.Stop();
    EXPECT_FALSE(music.IsPlaying()) << "a stop is not a hold";
}

TEST_F(AuthorMusicTest, ASongPlayedOutIsHeldWhereItLastWas) {
    music.Play();
    EXPECT_TRUE(music.IsPlaying());  // as every frame asks
    inner->position = 271.9f;
    EXPECT_FLOAT_EQ(music.GetPosition(), 271.9f);
    inner->playing = false;  // the song ran out
    inner->position = 0;     // a stopped source reads its start
    calls.clear();
    EXPECT_TRUE(music.IsPlaying());
    EXPECT_EQ(calls, (std::vector<std::string>{"seek 271", "play", "pause"}));
    EXPECT_FLOAT_EQ(inner->position, 271.9f);
    EXPECT_TRUE(music.TakeHeldAtEnd());
    EXPECT_FALSE(music.TakeHeldAtEnd()) << "reported once";
    EXPECT_TRUE(music.IsPlaying());

    SongForm song;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSongForm("section 0 272 outro\n", "song.txt", song, errors));
    Transport transport(&music, &song);
    EXPECT_EQ(transport.PausedByMusic(), "at 271:14 outro");
    transport.Press(TransportKey::PauseResume);
    EXPECT_FALSE(transport.Paused());
    EXPECT_TRUE(inner->playing) << "Space resumes from the hold";
}

// A seek that lands just before the end, with the song running out before
// the next frame reads the position (a busy machine): the hold is where the
// seek went, not where the song was read before it.
TEST_F(AuthorMusicTest, ASeekJustBeforeTheEndIsWhereTheSongIsHeld) {
    music.Play();
    EXPECT_TRUE(music.IsPlaying());
    inner->position = 268.0f;
    EXPECT_FLOAT_EQ(music.GetPosition(), 268.0f);
    music.SetPosition(271.25f);
    inner->playing = false;
    inner->position = 0;
    calls.clear();
    EXPECT_TRUE(music.IsPlaying());
    EXPECT_EQ(calls, (std::vector<std::string>{"seek 271", "play", "pause"}));
    EXPECT_FLOAT_EQ(inner->position, 271.25f);
}

TEST_F(AuthorMusicTest, ASongThatNeverPlayedEndsTheRun) {
    EXPECT_FALSE(music.IsPlaying());
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(music.TakeHeldAtEnd());
}
