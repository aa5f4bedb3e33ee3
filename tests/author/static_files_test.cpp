// The editor page's files as the service holds them: what is passed over
// without being waited for or read past the limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "author/service/StaticFiles.h"
#include "tests/support/scratch_dir.h"

namespace {

// Which names are served is the security tests' part (over HTTP); here, a
// FIFO or a folder under a served name is passed over without waiting.
TEST(StaticFiles, WhatIsNoRegularFileIsPassedOver) {
    ScratchDir dir;
    dir.Write("index.html", "<p>page</p>");
    dir.Write("folder.css/inside.css", "p {}");
    ASSERT_EQ(mkfifo((dir / "pipe.js").c_str(), 0600), 0);

    StaticFiles files;
    ASSERT_TRUE(files.Load(dir.path()));
    EXPECT_EQ(files.Count(), 2u);
    ASSERT_NE(files.Find("/"), nullptr);
    EXPECT_EQ(files.Find("/")->bytes, "<p>page</p>");
    EXPECT_NE(files.Find("/folder.css/inside.css"), nullptr);
    EXPECT_EQ(files.Find("/pipe.js"), nullptr);
    EXPECT_EQ(files.Find("/folder.css"), nullptr);
    EXPECT_FALSE(files.Load(dir / "absent"));
    EXPECT_TRUE(files.Empty());
}

// Two sparse files of 20 MiB: the first one listed fits in the 32 MiB, the
// second would not and is passed over whole.
TEST(StaticFiles, FilesBeyondTheTotalLimitAreLeftOut) {
    ScratchDir dir;
    for (const char* name : {"a.png", "b.png"}) {
        dir.Write(name, "");
        ASSERT_EQ(truncate((dir / name).c_str(), off_t(20) << 20), 0);
    }
    StaticFiles files;
    ASSERT_TRUE(files.Load(dir.path()));
    ASSERT_EQ(files.Count(), 1u);
    const StaticFiles::File* taken = files.Find("/a.png") ? files.Find("/a.png") : files.Find("/b.png");
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->bytes.size(), size_t(20) << 20);
}

}  // namespace
