# Writes the bytes of INPUT as the array behind MissingTexturePng() into OUTPUT.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from MissingTexture.png; do not edit.\n#include \"render/MissingTextureData.h\"\n\nnamespace {\nconst unsigned char kBytes[${size}] = {\n    ${bytes}\n};\n}  // namespace\n\nconst unsigned char* MissingTexturePng(size_t* size) {\n    *size = sizeof(kBytes);\n    return kBytes;\n}\n")
