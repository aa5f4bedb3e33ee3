// A walk over the marker segments of a JPEG stream that finds Huffman tables
// holding more codes than a table can (256), and scans that use a Huffman or
// quantisation table no segment defined. stb_image 2.27 writes past its table
// for the first and decodes with uninitialised memory for the second, so such
// a stream is refused before decoding.
// The walk is looser than the decoder (it skips junk between segments and
// walks on past markers the decoder would stop at), so that every table the
// decoder could reach is seen.
#pragma once

#include <cstddef>

// True for a stream that starts like a JPEG to stb_image (FF, fill FFs, D8).
bool LooksLikeJpeg(const unsigned char* bytes, size_t size);

// False when some Huffman table segment of the JPEG stream declares more than
// 256 codes in one table, or a scan uses a table not defined before it.
bool JpegTablesSound(const unsigned char* bytes, size_t size);
