// ConfigFile: the entry pattern's matches and misses, first occurrence wins,
// atoi semantics, and files that are not what they should be.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <regex>
#include <string>

#include "core/ConfigFile.h"
#include "tests/support/scratch_dir.h"

namespace {

ConfigFile Parsed(const std::string& text) {
    ConfigFile config;
    config.Parse(text);
    return config;
}

ConfigFile Loaded(const std::string& bytes) {
    InScratchDir here;
    here.Write("Config.txt", bytes);
    ConfigFile config;
    config.Load();
    return config;
}

// Every (key, value) the plain std::regex loop finds, for comparison on short texts.
std::vector<std::pair<std::string, std::string>> ReferenceEntries(const std::string& text) {
    static const std::regex pattern("(\\S+?)\\s+=\\s(\\S+?);", std::regex::ECMAScript);
    std::vector<std::pair<std::string, std::string>> found;
    std::string rest = text;
    std::smatch match;
    while (std::regex_search(rest, match, pattern)) {
        found.emplace_back(match[1].str(), match[2].str());
        rest = match.suffix().str();
    }
    return found;
}

}  // namespace

TEST(ConfigFileParse, EntriesSharingALineAndSpanningLines) {
    ConfigFile config = Parsed("ScreenWidth = 1920; ScreenHeight = 1080;");
    EXPECT_EQ(config.GetInt("ScreenWidth"), 1920);
    EXPECT_EQ(config.GetInt("ScreenHeight"), 1080);

    // One line feed is the one whitespace character after the equals sign.
    ConfigFile spread = Parsed("ScreenWidth\n=\n1280;");
    EXPECT_EQ(spread.GetString("ScreenWidth"), "1280");
}

TEST(ConfigFileParse, MalformedSpacingIsNotAnEntry) {
    for (const char* text : {"ScreenWidth=1920;", "ScreenWidth =  1920;", "ScreenWidth = 1920 ;",
                             "ScreenWidth =1920;", "ScreenWidth= 1920;", "ScreenWidth = 1920"}) {
        ConfigFile config = Parsed(text);
        EXPECT_EQ(config.GetInt("ScreenWidth"), -1) << text;
        EXPECT_EQ(config.GetString("ScreenWidth"), "") << text;
    }
}

TEST(ConfigFileParse, ValueStopsAtFirstSemicolonAndFirstKeyWins) {
    ConfigFile config = Parsed("ScreenWidth = 19;20;");
    EXPECT_EQ(config.GetString("ScreenWidth"), "19");

    ConfigFile twice = Parsed("ScreenWidth = 800;\nScreenWidth = 1024;\n");
    EXPECT_EQ(twice.GetInt("ScreenWidth"), 800);
}

TEST(ConfigFileParse, HashIsNoCommentSyntax) {
    EXPECT_EQ(Parsed("# ScreenWidth = 800;").GetInt("ScreenWidth"), 800);
    ConfigFile glued = Parsed("#ScreenWidth = 800;");
    EXPECT_EQ(glued.GetInt("ScreenWidth"), -1);
    EXPECT_EQ(glued.GetInt("#ScreenWidth"), 800);
}

TEST(ConfigFileParse, GetIntFollowsAtoi) {
    ConfigFile config = Parsed("FSAA = 4; IsFullScreen = yes; A = -5; B = 12px; C = +7; D = -1;");
    EXPECT_EQ(config.GetInt("FSAA"), 4);
    EXPECT_EQ(config.GetString("FSAA"), "4");
    EXPECT_EQ(config.GetInt("IsFullScreen"), 0);
    EXPECT_EQ(config.GetInt("A"), -5);
    EXPECT_EQ(config.GetInt("B"), 12);
    EXPECT_EQ(config.GetInt("C"), 7);
    EXPECT_EQ(config.GetInt("D"), -1);  // indistinguishable from missing
    EXPECT_EQ(config.GetInt("Missing"), -1);
}

TEST(ConfigFileParse, NumbersBeyondIntSaturate) {
    ConfigFile config = Parsed("W = 99999999999999999999; H = -99999999999;");
    EXPECT_EQ(config.GetInt("W"), INT_MAX);
    EXPECT_EQ(config.GetInt("H"), INT_MIN);
}

TEST(ConfigFileParse, AgreesWithThePlainRegexLoopOnAssortedTexts) {
    const char* texts[] = {
        "a = 1;b = 2;",       "a = ;;",          "a = ;b;",         "x  =\t1; y\t= 2;z = 3 ;",
        "a = b = c;",         "a = = b;",        "k = v;; k2 = v2;", "=\n= x;",
        "a\r\n= 1;",          "  lead = 1;",     "a = 1;2;3; b = 4;", "key = val;ue; other = x;",
        "a =\n\n1;",          "ä = ö;",          "a = 1\n;",         "a.b = c.d;e = f;",
    };
    for (const char* text : texts) {
        ConfigFile config = Parsed(text);
        auto reference = ReferenceEntries(text);
        std::map<std::string, std::string> expected;
        for (const auto& [key, value] : reference) expected.emplace(key, value);
        for (const auto& [key, value] : expected) EXPECT_EQ(config.GetString(key), value) << text;
        EXPECT_EQ(config.Count(), expected.size()) << text;
    }
}

TEST(ConfigFileLoad, ReadsTheFileWithCrLfAsLineFeeds) {
    ConfigFile config = Loaded("ScreenWidth\r\n=\r\n1280;\r\nFSAA = 2;\r\n");
    EXPECT_EQ(config.GetInt("ScreenWidth"), 1280);
    EXPECT_EQ(config.GetInt("FSAA"), 2);
}

TEST(ConfigFileLoad, StopsAtTheFirstNulByte) {
    ConfigFile config = Loaded(std::string("ScreenWidth = 800;\0ScreenHeight = 600;", 38));
    EXPECT_EQ(config.GetInt("ScreenWidth"), 800);
    EXPECT_EQ(config.GetInt("ScreenHeight"), -1);
}

// The bytes of a file parse in memory exactly as Load reads them.
TEST(ConfigFileLoad, FileBytesParseInMemoryAsLoadReadsThem) {
    const std::string files[] = {
        "ScreenWidth\r\n=\r\n1280;\r\nFSAA = 2;\r\n",
        std::string("ScreenWidth = 800;\0ScreenHeight = 600;", 38),
        "a = 1;\r\r\nb = 2;\r",
        "",
    };
    for (const std::string& bytes : files) {
        ConfigFile loaded = Loaded(bytes);
        ConfigFile parsed;
        parsed.ParseFileBytes(bytes);
        EXPECT_EQ(parsed.Count(), loaded.Count());
        for (const char* key : {"ScreenWidth", "ScreenHeight", "FSAA", "a", "b"})
            EXPECT_EQ(parsed.GetString(key), loaded.GetString(key)) << key;
    }
}

TEST(ConfigFileLoad, MissingDirectoryFifoAndBinaryGiveNoCrash) {
    {
        InScratchDir here;
        ConfigFile config;
        config.Load();
        EXPECT_EQ(config.GetInt("ScreenWidth"), -1);
    }
    {
        InScratchDir here;
        ASSERT_EQ(mkdir("Config.txt", 0755), 0);
        ConfigFile config;
        config.Load();
        EXPECT_EQ(config.GetInt("ScreenWidth"), -1);
    }
    {
        // A FIFO nobody writes to must not block start-up.
        InScratchDir here;
        ASSERT_EQ(mkfifo("Config.txt", 0644), 0);
        ConfigFile config;
        config.Load();
        EXPECT_EQ(config.GetInt("ScreenWidth"), -1);
    }
    {
        InScratchDir here;
        ASSERT_EQ(symlink("nowhere/Config.txt", "Config.txt"), 0);
        ConfigFile config;
        config.Load();
        EXPECT_EQ(config.GetInt("ScreenWidth"), -1);
    }
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37 + 11) % 255 + 1);
    binary += " FSAA = 8;";
    EXPECT_EQ(Loaded(binary).GetInt("FSAA"), 8);
}

TEST(ConfigFileLoad, HugeAndPathologicalFilesFinish) {
    // 8 MiB: only the first MiB counts.
    std::string huge = "FSAA = 2;";
    huge += std::string(8 << 20, 'x');
    huge += " ScreenWidth = 640;";
    ConfigFile config = Loaded(huge);
    EXPECT_EQ(config.GetInt("FSAA"), 2);
    EXPECT_EQ(config.GetInt("ScreenWidth"), -1);

    // Long runs that a backtracking matcher would chew on for hours or
    // recurse through until the stack gives out.
    std::string run(1 << 20, 'k');
    EXPECT_EQ(Parsed(run).GetInt("k"), -1);
    std::string spaces = "key" + std::string(1 << 19, ' ') + "= 1;";
    EXPECT_EQ(Parsed(spaces).GetInt("key"), -1);  // longer than an entry may be
    std::string longValue = "key = " + std::string(1 << 19, 'v') + ";";
    EXPECT_EQ(Parsed(longValue).GetInt("key"), -1);
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "k" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    ConfigFile manyEntries = Parsed(many);
    EXPECT_EQ(manyEntries.GetInt("k19999"), 19999);
    // An entry just under the limit still counts.
    std::string longKey(4000, 'q');
    EXPECT_EQ(Parsed(longKey + " = 5;").GetInt(longKey), 5);
}
