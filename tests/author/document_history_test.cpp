// The editor's history: whole texts back and forth, a group's edits as one
// step, and bounds on steps and bytes that drop the oldest first.
#include <gtest/gtest.h>

#include "author/service/DocumentHistory.h"

TEST(DocumentHistory, StepsGoBackAndForthAndAGroupIsOneStep) {
    DocumentHistory history;
    history.Record("a", "");
    history.Record("b", "drag");  // b -> c -> d, one drag
    history.Record("c", "drag");
    history.Record("c2", "drag");
    std::string text;
    ASSERT_TRUE(history.Undo("d", &text));
    EXPECT_EQ(text, "b");
    ASSERT_TRUE(history.Undo("b", &text));
    EXPECT_EQ(text, "a");
    EXPECT_FALSE(history.Undo("a", &text));
    ASSERT_TRUE(history.Redo("a", &text));
    EXPECT_EQ(text, "b");
    ASSERT_TRUE(history.Redo("b", &text));
    EXPECT_EQ(text, "d");
    EXPECT_FALSE(history.Redo("d", &text));

    // After an undo, the same group starts a step of its own; a new edit
    // ends what could be redone.
    ASSERT_TRUE(history.Undo("d", &text));
    history.Record("b", "drag");
    EXPECT_EQ(history.UndoSteps(), 2u);
    EXPECT_EQ(history.RedoSteps(), 0u);
}

TEST(DocumentHistory, TheOldestStepsGoWhenTheBoundsAreReached) {
    DocumentHistory bySteps(3, 1 << 20);
    for (const char* text : {"1", "2", "3", "4", "5"}) bySteps.Record(text, "");
    EXPECT_EQ(bySteps.UndoSteps(), 3u);
    std::string text;
    for (const char* expected : {"5", "4", "3"}) {
        ASSERT_TRUE(bySteps.Undo("now", &text));
        EXPECT_EQ(text, expected);
    }
    EXPECT_FALSE(bySteps.Undo("now", &text));

    DocumentHistory byBytes(100, 10);
    byBytes.Record(std::string(4, 'a'), "");
    byBytes.Record(std::string(4, 'b'), "");
    byBytes.Record(std::string(4, 'c'), "");
    EXPECT_EQ(byBytes.UndoSteps(), 2u) << "12 bytes is over 10: the oldest went";
    byBytes.Record(std::string(50, 'd'), "");
    EXPECT_EQ(byBytes.UndoSteps(), 0u) << "a step larger than the bound is not kept";
}

TEST(DocumentHistory, AStepThatCouldNotBeUsedIsPutBack) {
    DocumentHistory history;
    history.Record("a", "");
    std::string text;
    ASSERT_TRUE(history.Undo("b", &text));
    history.Unpop(true, text);
    EXPECT_EQ(history.UndoSteps(), 1u);
    EXPECT_EQ(history.RedoSteps(), 0u);
    ASSERT_TRUE(history.Undo("b", &text));
    EXPECT_EQ(text, "a");
}
