// Placeholder until shader programs are built.
#include "render/ShaderProgram.h"

bool ShaderProgram::Load(const char*, const char*, const char*) { return false; }
void ShaderProgram::Bind(float) {}
void ShaderProgram::Delete() {}
int ShaderProgram::GetUniformLocation(const char*) const { return -1; }
std::unique_ptr<char[]> ReadTextFile(const char*, size_t*) { return nullptr; }
