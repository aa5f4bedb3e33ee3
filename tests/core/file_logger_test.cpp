// FileLogger: the exact bytes of every kind of line, immediate writes, the
// recreated file, and the exclusive writer that a second logger cannot open.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "core/FileLogger.h"
#include "tests/support/scratch_dir.h"

namespace {

const char16_t kLineEnd[] = u"\r\n";
const char16_t kDebug[] = u"DEBUG: ";
const char16_t kError[] = u"ERROR: ";

// UTF-16 LE bytes of an ASCII text.
std::string Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string LogBytes() { return ReadFileBytes("LogFile.txt"); }

}  // namespace

TEST(FileLogger, LinesPairsErrorsAndDebugAreExactBytes) {
    InScratchDir here;
    FileLogger logger(kLineEnd, kDebug, kError);
    ASSERT_TRUE(logger.Open());
    logger.WriteLine("Logger Initialized.");
    std::string expected = Bytes("Logger Initialized.\r\n");
    EXPECT_EQ(LogBytes(), expected);  // on disk before the call returned

    logger.WritePair("Screen Width: ", "1280");
    expected += Bytes("Screen Width: 1280\r\n");
    logger.WriteError("Failed to initialize the renderer!");
    expected += Bytes("ERROR: Failed to initialize the renderer!\r\n");
    logger.WriteDebug("checked");
    expected += Bytes("DEBUG: checked\r\n");
    logger.WriteWide(u"raw");
    expected += Bytes("raw");
    EXPECT_EQ(LogBytes(), expected);

    // Null parts write nothing, the rest of the line still goes out.
    logger.WritePair("Hardware Vendor: ", nullptr);
    logger.WritePair(nullptr, "x");
    logger.WriteLine(nullptr);
    logger.WriteError(nullptr);
    expected += Bytes("Hardware Vendor: \r\nx\r\n\r\nERROR: \r\n");
    EXPECT_EQ(LogBytes(), expected);
    logger.Close();
    logger.WriteLine("after close");
    EXPECT_EQ(LogBytes(), expected);
}

TEST(FileLogger, TimestampIsTheAsctimeLayoutEndingLfCrLf) {
    InScratchDir here;
    FileLogger logger(kLineEnd, kDebug, kError);
    ASSERT_TRUE(logger.Open());
    logger.WriteTimestamp();
    logger.Close();
    std::string bytes = LogBytes();
    ASSERT_EQ(bytes.size(), 27u * 2);
    std::string ascii;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        EXPECT_EQ(bytes[i + 1], '\0');
        ascii += bytes[i];
    }
    EXPECT_TRUE(std::regex_match(ascii, std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                                   "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                   "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n\r\n")))
        << ascii;
}

TEST(FileLogger, LongAndNonAsciiTextsAreWrittenWhole) {
    InScratchDir here;
    FileLogger logger(kLineEnd, kDebug, kError);
    ASSERT_TRUE(logger.Open());
    std::string longText(200, 'a');
    std::string veryLong(100000, 'b');
    logger.WriteLine(longText.c_str());
    logger.WriteLine(veryLong.c_str());
    // UTF-8 é, a lone Latin-1 byte and a character beyond the BMP.
    logger.WriteLine("\xC3\xA9|\xE9|\xF0\x9F\x8E\xB5");
    logger.Close();
    std::string expected = Bytes(longText + "\r\n" + veryLong + "\r\n");
    expected += std::string("\xE9\0|\0\xE9\0|\0\x3C\xD8\xB5\xDF\r\0\n\0", 16);
    EXPECT_EQ(LogBytes(), expected);
}

TEST(FileLogger, ASecondStartRecreatesTheFile) {
    InScratchDir here;
    here.Write("LogFile.txt", std::string(1000, 'z'));
    FileLogger logger(kLineEnd, kDebug, kError);
    ASSERT_TRUE(logger.Open());
    logger.WriteLine("new");
    logger.Close();
    EXPECT_EQ(LogBytes(), Bytes("new\r\n"));
}

TEST(FileLogger, ASecondWriterFailsAndLeavesTheFirstLogUntouched) {
    InScratchDir here;
    FileLogger first(kLineEnd, kDebug, kError);
    ASSERT_TRUE(first.Open());
    first.WriteLine("first copy");
    testing::internal::CaptureStderr();
    FileLogger second(kLineEnd, kDebug, kError);
    EXPECT_FALSE(second.Open());
    std::string complaint = testing::internal::GetCapturedStderr();
    second.WriteLine("second copy");
    EXPECT_EQ(LogBytes(), Bytes("first copy\r\n"));
    EXPECT_NE(complaint.find("LogFile.txt"), std::string::npos);
    EXPECT_EQ(std::count(complaint.begin(), complaint.end(), '\n'), 1);
    first.WriteLine("still mine");
    EXPECT_EQ(LogBytes(), Bytes("first copy\r\nstill mine\r\n"));
    first.Close();

    FileLogger third(kLineEnd, kDebug, kError);
    EXPECT_TRUE(third.Open());  // free again once the first closed
    third.Close();
}

TEST(FileLogger, ALogThatIsAFolderOrFifoCannotBeOpened) {
    InScratchDir here;
    ASSERT_EQ(mkdir("LogFile.txt", 0755), 0);
    testing::internal::CaptureStderr();
    FileLogger logger(kLineEnd, kDebug, kError);
    EXPECT_FALSE(logger.Open());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("LogFile.txt"), std::string::npos);

    InScratchDir other;
    ASSERT_EQ(mkfifo("LogFile.txt", 0644), 0);
    testing::internal::CaptureStderr();
    FileLogger onFifo(kLineEnd, kDebug, kError);
    EXPECT_FALSE(onFifo.Open());  // and does not wait for a reader
    testing::internal::GetCapturedStderr();
}
