// Request bodies as bounded JSON: the depth scan and excerpts.
#include "author/service/BodyJson.h"

#include "author/service/ShowJson.h"

namespace {

// The deepest nesting in `text` as the JSON parser will see it, counting
// brackets outside strings only; stops counting once past `limit`. Up to the
// first syntax error the parser reads strings exactly as this does, and it
// builds nothing past that error.
int NestingDepth(const std::string& text, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;  // the escaped character, whatever it is
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            // A closing bracket too many is the parser's error, never less depth.
            --depth;
        }
    }
    return deepest;
}

}  // namespace

bool ParseBodyJson(const std::string& body, nlohmann::json* root, std::string* error) {
    if (NestingDepth(body, kMaxBodyDepth) > kMaxBodyDepth) {
        *error = "the body nests arrays and objects deeper than " + std::to_string(kMaxBodyDepth) + " levels";
        return false;
    }
    *root = nlohmann::json::parse(body, nullptr, false);
    if (root->is_discarded()) {
        *error = "the body is not JSON";
        return false;
    }
    return true;
}

std::string Excerpt(const nlohmann::json& value, size_t most) {
    std::string text = Dump(value);
    if (text.size() <= most) return text;
    size_t cut = most;
    // Not inside a UTF-8 sequence (Dump's text is valid UTF-8).
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text + "...";
}
