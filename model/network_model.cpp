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

const char* valve_type_name(ValveType type) {
    switch (type) {
    case ValveType::prv:
        return "prv";
    case ValveType::psv:
        return "psv";
    case ValveType::pbv:
        return "pbv";
    case ValveType::fcv:
        return "fcv";
    case ValveType::tcv:
        return "tcv";
    case ValveType::gpv:
        break;
    }
    return "gpv";
}

std::string place_text(const std::string& file, const Place& place) {
    if (!place.known()) return file;
    return file + ':' + std::to_string(place.line) + ':' + std::to_string(place.first_column) +
           '-' + std::to_string(place.last_column);
}

} // namespace pipenet::model
