#include "model/network_model.hpp"

namespace pipenet::model {

std::string place_text(const std::string& file, const Place& place) {
    if (!place.known()) return file;
    return file + ':' + std::to_string(place.line) + ':' + std::to_string(place.first_column) +
           '-' + std::to_string(place.last_column);
}

} // namespace pipenet::model
