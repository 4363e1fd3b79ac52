#include "model/network_model.hpp"

namespace pipenet::model {

const char* law_name(HeadLossLaw law) {
    switch (law) {
    case HeadLossLaw::laminar:
        return "laminar";
    case HeadLossLaw::hazen_williams_programs:
        return "hazen-williams-programs";
    case HeadLossLaw::hazen_williams_inp:
        return "hazen-williams-inp";
    case HeadLossLaw::darcy_weisbach:
        return "darcy-weisbach";
    case HeadLossLaw::chezy_manning:
        break;
    }
    return "chezy-manning";
}

std::string place_text(const std::string& file, const Place& place) {
    if (!place.known()) return file;
    return file + ':' + std::to_string(place.line) + ':' + std::to_string(place.first_column) +
           '-' + std::to_string(place.last_column);
}

} // namespace pipenet::model
