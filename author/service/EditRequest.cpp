// Reading the edit and transport bodies with nlohmann-json, without
// exceptions: types are checked before every value is taken.
#include "author/service/EditRequest.h"

#include <nlohmann/json.hpp>

#include <cfloat>
#include <climits>
#include <cmath>

#include "author/service/BodyJson.h"
#include "author/service/ShowJson.h"

namespace {

using nlohmann::json;

// Below this a double rounds to a finite float (FLT_MAX and half its step:
// the midpoint itself rounds to even, which is infinity). /api/show writes a
// value as the shortest text of its float, 3.4028235e+38 for FLT_MAX, which
// reads back as a double a little above FLT_MAX.
const double kFloatRoundingLimit = double(FLT_MAX) + std::ldexp(1.0, 103);

// A whole row number that a track file can hold.
bool ReadRow(const json& op, const char* field, int32_t* row, std::string* error) {
    if (!op.contains(field)) {
        *error = std::string("'") + field + "' is missing";
        return false;
    }
    const json& value = op[field];
    if (!value.is_number()) {
        *error = std::string("'") + field + "' is not a number";
        return false;
    }
    const double number = value.get<double>();
    if (value.is_number_float() && (!std::isfinite(number) || number != std::floor(number))) {
        *error = std::string("'") + field + "' is not a whole row";
        return false;
    }
    const bool fits = value.is_number_unsigned() ? value.get<uint64_t>() <= uint64_t(INT32_MAX)
                      : value.is_number_integer() ? value.get<int64_t>() >= INT32_MIN && value.get<int64_t>() <= INT32_MAX
                                                  : number >= double(INT32_MIN) && number <= double(INT32_MAX);
    if (!fits) {
        *error = std::string("'") + field + "' is outside the rows a track file can hold (" +
                 std::to_string(INT32_MIN) + " to " + std::to_string(INT32_MAX) + ")";
        return false;
    }
    *row = value.is_number_float() ? int32_t(number) : int32_t(value.get<int64_t>());
    return true;
}

bool ReadOp(const json& op, KeyEdit* edit, std::string* error) {
    if (!op.is_object()) {
        *error = "is not an object";
        return false;
    }
    if (!op.contains("op") || !op["op"].is_string()) {
        *error = "'op' is missing (set, delete or move)";
        return false;
    }
    const std::string kind = op["op"].get<std::string>();
    if (!op.contains("track") || !op["track"].is_string() || op["track"].get<std::string>().empty()) {
        *error = "'track' is missing or not a name";
        return false;
    }
    edit->track = op["track"].get<std::string>();
    if (kind == "set") {
        edit->kind = KeyEditKind::Set;
        if (!ReadRow(op, "row", &edit->row, error)) return false;
        if (op.contains("value") && op["value"].is_null()) {
            // As /api/show lists a value that is not a finite number: the key keeps it.
            edit->keepValue = true;
        } else if (!op.contains("value") || !op["value"].is_number()) {
            *error = "'value' is not a number";
            return false;
        } else {
            const double value = op["value"].get<double>();
            if (!std::isfinite(value) || !(std::fabs(value) < kFloatRoundingLimit)) {
                *error = "'value' is not a finite 32-bit float";
                return false;
            }
            edit->value = float(value);
        }
        edit->keepType = true;
        if (op.contains("interp")) {
            const json& interp = op["interp"];
            if (!interp.is_string() || !InterpolationFromText(interp.get<std::string>(), &edit->type)) {
                *error = "unknown interpolation " + Excerpt(interp) + " (step, linear, smooth or ramp)";
                return false;
            }
            edit->keepType = false;
        }
        return true;
    }
    if (kind == "delete") {
        edit->kind = KeyEditKind::Delete;
        return ReadRow(op, "row", &edit->row, error);
    }
    if (kind == "move") {
        edit->kind = KeyEditKind::Move;
        return ReadRow(op, "from", &edit->row, error) && ReadRow(op, "to", &edit->to, error);
    }
    *error = "unknown op " + Excerpt(op["op"]) + " (set, delete or move)";
    return false;
}

bool ReadNumber(const json& value, double* number) {
    if (!value.is_number()) return false;
    *number = value.get<double>();
    return std::isfinite(*number);
}

}  // namespace

bool ParseEditRequest(const std::string& body, EditRequest* request, std::string* error) {
    json root;
    if (!ParseBodyJson(body, &root, error)) return false;
    if (!root.is_object() || !root.contains("ops") || !root["ops"].is_array()) {
        *error = "the body needs \"ops\": [...]";
        return false;
    }
    const json& ops = root["ops"];
    if (ops.empty()) {
        *error = "\"ops\" is empty";
        return false;
    }
    if (ops.size() > kMaxOpsPerEdit) {
        *error = "too many ops in one edit (" + std::to_string(ops.size()) + "; at most " +
                 std::to_string(kMaxOpsPerEdit) + ")";
        return false;
    }
    if (root.contains("revision") && !root["revision"].is_null()) {
        const json& revision = root["revision"];
        if (!revision.is_number_integer()) {
            *error = "'revision' is not a whole number";
            return false;
        }
        // Never wrapped: 2^63 read as a signed number would be -2^63.
        if (revision.is_number_unsigned() ? revision.get<uint64_t>() > uint64_t(INT64_MAX)
                                          : revision.get<int64_t>() < 0) {
            *error = "'revision' is outside the revisions there are (0 to " + std::to_string(INT64_MAX) + ")";
            return false;
        }
        request->revision = revision.get<int64_t>();
    }
    if (root.contains("group") && !root["group"].is_null()) {
        if (!root["group"].is_string() || root["group"].get<std::string>().size() > 256) {
            *error = "'group' is not a short text";
            return false;
        }
        request->group = root["group"].get<std::string>();
    }
    request->edits.clear();
    for (size_t i = 0; i < ops.size(); ++i) {
        KeyEdit edit;
        std::string problem;
        if (!ReadOp(ops[i], &edit, &problem)) {
            *error = "op " + std::to_string(i) + ": " + problem;
            return false;
        }
        request->edits.push_back(std::move(edit));
    }
    return true;
}

bool ParseTransportRequest(const std::string& body, TransportRequest* request, std::string* error) {
    json root;
    if (!ParseBodyJson(body, &root, error)) return false;
    if (!root.is_object()) {
        *error = "the body is not an object";
        return false;
    }
    if (root.contains("play")) {
        if (!root["play"].is_boolean()) {
            *error = "'play' is not true or false";
            return false;
        }
        request->play = root["play"].get<bool>();
    }
    if (root.contains("row")) {
        double row = 0;
        if (!ReadNumber(root["row"], &row)) {
            *error = "'row' is not a finite number";
            return false;
        }
        request->row = row;
    }
    if (root.contains("loop")) {
        request->setLoop = true;
        const json& loop = root["loop"];
        if (!loop.is_null()) {
            double from = 0, to = 0;
            if (!loop.is_array() || loop.size() != 2 || !ReadNumber(loop[0], &from) || !ReadNumber(loop[1], &to) ||
                !(from < to)) {
                *error = "'loop' is not null or [from, to] with from before to";
                return false;
            }
            request->loop = std::make_pair(from, to);
        }
    }
    return true;
}
