#include "model/findings.hpp"

#include <vector>

namespace pipenet::model {

Finding make_finding(Code code, std::initializer_list<std::string> values, Place place) {
    const std::vector<std::string_view> views(values.begin(), values.end());
    Finding finding;
    finding.code = code;
    finding.place = place;
    finding.text = messages::format(code, views);
    return finding;
}

} // namespace pipenet::model
