#include "weight_bound.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace kestrin::tool {

double weightBound(const std::string& settingsText) {
    const nlohmann::json settings = nlohmann::json::parse(settingsText);
    const nlohmann::json& channels = settings.at("channels");
    bool limited = false;
    for (const nlohmann::json& block : settings.at("blocks")) {
        for (const nlohmann::json& value : block.at("values")) {
            const std::string key = value.at("key");
            if ((key == "clamp_values" || key == "positive") && value.at("value") == 1) limited = true;
        }
    }
    if (limited) return 1.0;
    const double power = 10.0 * channels.at("Exponent").get<double>();
    if (power == 0.0) return 1.0;
    if (!(power > 0.0)) return INFINITY;
    const double scale = std::fabs(2.0 * channels.at("Post Multiplier").get<double>()) *
                         std::max(std::fabs(2.0 * channels.at("Stretch Multi").get<double>()),
                                  std::fabs(2.0 * channels.at("Squash Multi").get<double>()));
    return std::pow(scale, power);
}

}  // namespace kestrin::tool
