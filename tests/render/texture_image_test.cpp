// Decoding texture images without GL: the size checks made from the header,
// the formats kept, the JPEG and PNG streams refused before stb_image sees
// them, and files that are no regular files.
#include <gtest/gtest.h>

#include <stb_image_write.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "render/JpegTables.h"
#include "render/TextureImage.h"
#include "tests/support/scratch_dir.h"

namespace {

const unsigned char* Data(const std::string& bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

bool Decodes(const std::string& bytes, bool cubeMap, TextureImage* image = nullptr) {
    TextureImage scratch;
    return LoadTextureImageMemory(Data(bytes), bytes.size(), cubeMap, TextureLimits{}, image ? image : &scratch);
}

// An encoded image of width x height RGBA pixels in one of stb's write formats.
std::string Encode(const char* format, int width, int height) {
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 4, 128);
    std::string out;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
    };
    const std::string kind = format;
    if (kind == "png") stbi_write_png_to_func(append, &out, width, height, 4, pixels.data(), width * 4);
    if (kind == "bmp") stbi_write_bmp_to_func(append, &out, width, height, 4, pixels.data());
    if (kind == "tga") stbi_write_tga_to_func(append, &out, width, height, 4, pixels.data());
    if (kind == "jpg") stbi_write_jpg_to_func(append, &out, width, height, 4, pixels.data(), 90);
    return out;
}

uint32_t Crc32(const std::string& bytes, size_t from, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < from + count; ++i) {
        crc ^= uint8_t(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(value >> (24 - 8 * i));
}

// A PNG whose header states width x height, with its CRC set again.
std::string PngClaiming(uint32_t width, uint32_t height) {
    std::string png = Encode("png", 3, 4);
    PutBig32(png, 16, width);
    PutBig32(png, 20, height);
    PutBig32(png, 29, Crc32(png, 12, 17));
    return png;
}

}  // namespace

TEST(TextureImage, SizesAreCheckedAgainstTheLimitsAndTheCross) {
    const TextureLimits limits{4096, 1024};
    EXPECT_TRUE(TextureSizeUsable(4096, 4096, false, limits));
    EXPECT_FALSE(TextureSizeUsable(4097, 16, false, limits));
    EXPECT_FALSE(TextureSizeUsable(16, 4097, false, limits));
    EXPECT_FALSE(TextureSizeUsable(0, 16, false, limits));
    EXPECT_FALSE(TextureSizeUsable(16, -1, false, limits));
    // No stated limit: the built-in side and pixel count still hold.
    EXPECT_TRUE(TextureSizeUsable(8192, 8192, false, TextureLimits{}));
    EXPECT_FALSE(TextureSizeUsable(kMaxImageSide + 1, 1, false, TextureLimits{}));
    EXPECT_FALSE(TextureSizeUsable(16384, 16384, false, TextureLimits{}));

    EXPECT_TRUE(TextureSizeUsable(4, 3, true, limits));
    EXPECT_TRUE(TextureSizeUsable(4096, 3072, true, limits));
    EXPECT_TRUE(TextureSizeUsable(4 * 5 + 3, 3 * 5 + 2, true, limits));  // leftover rows and columns
    EXPECT_FALSE(TextureSizeUsable(4100, 3075, true, limits));           // faces beyond the cube limit
    EXPECT_FALSE(TextureSizeUsable(3, 2, true, limits));                 // no pixel per face
    EXPECT_FALSE(TextureSizeUsable(12, 6, true, limits));                // faces 2 wide, 3 high
    EXPECT_FALSE(TextureSizeUsable(8, 9, true, limits));                 // faces 3 wide, 2 high
}

TEST(TextureImage, AbsurdStatedSizesAreRefusedFromTheHeader) {
    ASSERT_TRUE(Decodes(PngClaiming(3, 4), false));
    EXPECT_FALSE(Decodes(PngClaiming(60000, 60000), false));
    EXPECT_FALSE(Decodes(PngClaiming(1, 16777216), false));
    EXPECT_FALSE(Decodes(PngClaiming(3 * 20000, 4 * 20000), true));
}

TEST(TextureImage, PngJpegBmpAndTgaDecodeOtherFormatsAreRefused) {
    for (const char* format : {"png", "jpg", "bmp", "tga"}) {
        TextureImage image;
        ASSERT_TRUE(Decodes(Encode(format, 6, 8), true, &image)) << format;
        EXPECT_EQ(image.width, 6);
        EXPECT_EQ(image.height, 8);
        EXPECT_EQ(image.pixels.get()[0], 128) << format;
    }
    const std::string pnm = "P6\n3 4\n255\n" + std::string(36, '\x40');
    EXPECT_FALSE(Decodes(pnm, false));
    EXPECT_FALSE(Decodes("GIF89a\x01\x00\x01\x00\x80\x00\x00", false));
    EXPECT_FALSE(Decodes("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n\x80\x80\x80\x80", false));
    EXPECT_FALSE(Decodes("", false));
    EXPECT_FALSE(LoadTextureImageMemory(nullptr, 10, false, TextureLimits{}, nullptr));
}

// A Huffman table segment holding 300 codes, which stb_image 2.27 would
// write past its 257-entry table, before or after a scan.
TEST(TextureImage, JpegHuffmanTablesWithTooManyCodesAreRefused) {
    const std::string good = Encode("jpg", 16, 16);
    ASSERT_TRUE(LooksLikeJpeg(Data(good), good.size()));
    ASSERT_TRUE(JpegTablesSound(Data(good), good.size()));
    std::string table = "\xFF\xC4";
    const int codes = 300;
    const size_t length = 2 + 17 + codes;
    table += char(length >> 8);
    table += char(length & 0xFF);
    table += '\x00';
    std::string counts(16, '\0');
    counts[7] = char(150);
    counts[8] = char(150);
    table += counts + std::string(codes, '\x01');

    const std::string before = good.substr(0, 2) + table + good.substr(2);
    EXPECT_FALSE(JpegTablesSound(Data(before), before.size()));
    EXPECT_FALSE(Decodes(before, false));
    // Fill bytes before the start marker still make a JPEG to the decoder.
    const std::string filled = "\xFF\xFF" + before.substr(1);
    EXPECT_TRUE(LooksLikeJpeg(Data(filled), filled.size()));
    EXPECT_FALSE(JpegTablesSound(Data(filled), filled.size()));
    // After the entropy-coded data of the first scan, before the end.
    const std::string after = good.substr(0, good.size() - 2) + table + good.substr(good.size() - 2);
    EXPECT_FALSE(JpegTablesSound(Data(after), after.size()));
}

// A JPEG whose quantisation tables are gone, or come only after the scan
// that needs them: stb_image would dequantise with memory it never set.
TEST(TextureImage, JpegScanWithoutItsQuantisationTableIsRefused) {
    const std::string good = Encode("jpg", 16, 16);
    std::string withoutTables, tables;
    for (size_t p = 2; p < good.size();) {
        const size_t length = size_t(uint8_t(good[p + 2])) << 8 | uint8_t(good[p + 3]);
        const std::string segment = good.substr(p, 2 + length);
        (uint8_t(good[p + 1]) == 0xDB ? tables : withoutTables) += segment;
        if (uint8_t(good[p + 1]) == 0xDA) {
            withoutTables += good.substr(p + 2 + length);
            break;
        }
        p += 2 + length;
    }
    ASSERT_FALSE(tables.empty());
    const std::string missing = good.substr(0, 2) + withoutTables;
    EXPECT_FALSE(JpegTablesSound(Data(missing), missing.size()));
    EXPECT_FALSE(Decodes(missing, false));
    const std::string late = good.substr(0, 2) + withoutTables.substr(0, withoutTables.size() - 2) + tables + "\xFF\xD9";
    EXPECT_FALSE(JpegTablesSound(Data(late), late.size()));
    // With the tables back in front the stream decodes again.
    const std::string restored = good.substr(0, 2) + tables + withoutTables;
    EXPECT_TRUE(JpegTablesSound(Data(restored), restored.size()));
    EXPECT_TRUE(Decodes(restored, false));
}

// A baseline scan decodes all 64 coefficients whatever spectrum its header
// states, so its AC table must be defined even when the header ends the
// spectrum at the first coefficient.
TEST(TextureImage, BaselineScanNeedsItsAcTableWhateverItsSpectrum) {
    const std::string good = Encode("jpg", 16, 16);
    size_t scan = 2;
    while (scan + 3 < good.size() && uint8_t(good[scan + 1]) != 0xDA)
        scan += 2 + (size_t(uint8_t(good[scan + 2])) << 8 | uint8_t(good[scan + 3]));
    ASSERT_LT(scan + 3, good.size());
    const size_t components = uint8_t(good[scan + 4]);
    ASSERT_EQ(components, 3u);
    const size_t spectrumEnd = scan + 6 + 2 * components;

    std::string dcOnly = good;
    dcOnly[spectrumEnd] = '\0';
    EXPECT_TRUE(JpegTablesSound(Data(dcOnly), dcOnly.size()));
    EXPECT_TRUE(Decodes(dcOnly, false));
    // The last component's AC table becomes table 3, which nothing defines.
    std::string undefinedAc = dcOnly;
    const size_t lastTables = scan + 6 + 2 * (components - 1);
    undefinedAc[lastTables] = char((uint8_t(undefinedAc[lastTables]) & 0xF0) | 3);
    EXPECT_FALSE(JpegTablesSound(Data(undefinedAc), undefinedAc.size()));
    EXPECT_FALSE(Decodes(undefinedAc, false));
}

// Inputs the image fuzz target found, kept in its seed corpus: each is
// refused before stb_image could read or write out of bounds, read memory
// it never set, or ask for a gigabyte (four are scans using a table nothing
// defined).
TEST(TextureImage, FuzzFindingsAreRefused) {
    const std::string corpus = std::string(TESSEL_SOURCE_DIR) + "/tests/fuzz/corpus/image_fuzz/";
    int found = 0;
    for (const char* name : {"jpeg_huffman_overflow.jpg", "jpeg_fill_before_start_huffman_overflow.jpg",
                             "pnm16_overflow.ppm", "png_idat_claims_a_gigabyte.png",
                             "jpeg_scan_uses_undefined_dc_table.jpg", "jpeg_scan_uses_undefined_ac_table.jpg",
                             "jpeg_scan_uses_undefined_quant_table.jpg",
                             "jpeg_baseline_scan_uses_undefined_ac_table.jpg"}) {
        const std::string bytes = ReadFileBytes(corpus + name);
        ASSERT_FALSE(bytes.empty()) << name;
        ++found;
        EXPECT_FALSE(Decodes(bytes, false)) << name;
        EXPECT_FALSE(Decodes(bytes, true)) << name;
    }
    EXPECT_EQ(found, 8);
}

// An empty IDAT chunk before the image data is legal PNG; stb_image would
// copy its zero bytes into a data buffer it has not made yet. The picture
// comes out as without the chunk, and the fuzz finding built on it (an empty
// IDAT and then nothing sound) is refused.
TEST(TextureImage, EmptyFirstDataChunkDecodesTheSamePicture) {
    const std::string plain = Encode("png", 3, 4);
    ASSERT_EQ(plain.compare(37, 4, "IDAT"), 0);
    std::string empty(12, '\0');
    empty.replace(4, 4, "IDAT");
    PutBig32(empty, 8, Crc32(empty, 4, 4));
    const std::string padded = plain.substr(0, 33) + empty + empty + plain.substr(33);

    TextureImage expected, got;
    ASSERT_TRUE(Decodes(plain, false, &expected));
    ASSERT_TRUE(Decodes(padded, false, &got));
    ASSERT_EQ(got.width, expected.width);
    ASSERT_EQ(got.height, expected.height);
    EXPECT_EQ(std::memcmp(got.pixels.get(), expected.pixels.get(), size_t(got.width) * size_t(got.height) * 4), 0);

    const std::string finding =
        ReadFileBytes(std::string(TESSEL_SOURCE_DIR) + "/tests/fuzz/corpus/image_fuzz/png_empty_first_idat.png");
    ASSERT_FALSE(finding.empty());
    EXPECT_FALSE(Decodes(finding, false));
}

// A JPEG whose data runs out of bits mid-scan: stb_image decodes what it can
// (with zeros for the rest) and the cross comes out whole, or it is refused.
TEST(TextureImage, JpegRunningOutOfBitsDecodesOrIsRefused) {
    const std::string bytes = ReadFileBytes(std::string(TESSEL_SOURCE_DIR) +
                                            "/tests/fuzz/corpus/image_fuzz/jpeg_drained_bit_reader_shift.jpg");
    ASSERT_FALSE(bytes.empty());
    for (bool cubeMap : {false, true}) {
        TextureImage image;
        if (!Decodes(bytes, cubeMap, &image)) continue;
        EXPECT_TRUE(image.pixels);
        EXPECT_TRUE(TextureSizeUsable(image.height, image.width, cubeMap, TextureLimits{}));
    }
}

TEST(TextureImage, OnlyRegularFilesAreRead) {
    ScratchDir dir;
    dir.Write("cross.png", Encode("png", 3, 4));
    dir.Write("folder.png/inside", "x");
    const std::string fifo = dir / "fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TextureImage image;
    EXPECT_TRUE(LoadTextureImageFile((dir / "cross.png").c_str(), true, TextureLimits{}, &image));
    // A FIFO with no writer would block a plain open.
    for (const char* name : {"fifo.png", "folder.png", "absent.png"})
        EXPECT_FALSE(LoadTextureImageFile((dir / name).c_str(), false, TextureLimits{}, &image)) << name;
    EXPECT_FALSE(LoadTextureImageFile(nullptr, false, TextureLimits{}, &image));
}
