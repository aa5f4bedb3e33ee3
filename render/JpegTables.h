// A walk over the marker segments of a JPEG stream that finds Huffman tables
// holding more codes than a table can (256). stb_image 2.27 writes past its
// table for such a segment, so a stream with one is refused before decoding.
// The walk is looser than the decoder (it skips junk between segments and
// walks on past markers the decoder would stop at), so that every table the
// decoder could reach is seen.
#pragma once

#include <cstddef>

// True for a stream that starts like a JPEG to stb_image (FF, fill FFs, D8).
bool LooksLikeJpeg(const unsigned char* bytes, size_t size);

// False when some Huffman table segment of the JPEG stream declares more than
// 256 codes in one table.
bool JpegHuffmanTablesFit(const unsigned char* bytes, size_t size);
