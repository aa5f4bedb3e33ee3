// Request bodies read as JSON within bounds. Nesting deeper than any body of
// the API uses is refused by a scan of the text before the parser builds
// anything, so that no value of a request is ever walked (dumped, compared,
// destroyed) deeper than that; a value quoted back in a refusal is a short
// excerpt, never the whole value.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

// The deepest nesting of arrays and objects a body may have: an edit uses 3
// ({"ops":[{...}]}), a transport 2; the rest is room for fields to come.
constexpr int kMaxBodyDepth = 8;

// Parses `body` into *root; false with the message when it is not JSON or
// nests deeper than kMaxBodyDepth.
bool ParseBodyJson(const std::string& body, nlohmann::json* root, std::string* error);

// The value's compact text, cut to about `most` bytes (at a character
// boundary, with "..." after the cut).
std::string Excerpt(const nlohmann::json& value, size_t most = 40);
