#pragma once

#include <nlohmann/json.hpp>

namespace zuta::cli {

class Session;

// The whole store after a replay or load, field names as the store names them.
nlohmann::ordered_json StoreToJson(Session& session);

} // namespace zuta::cli
