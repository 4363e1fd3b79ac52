#include "exchange/inp_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace pipenet::exchange {

std::string describe(const Diagnostic& diagnostic, std::string_view file_name) {
    std::string out(file_name);
    if (diagnostic.line > 0) out += ":" + std::to_string(diagnostic.line);
    out += ": ";
    out += messages::severity_name(diagnostic.severity);
    out += ": ";
    out += diagnostic.text;
    return out;
}

namespace {

enum class Section : std::uint8_t {
    none,
    title,
    junctions,
    reservoirs,
    tanks,
    pipes,
    pumps,
    valves,
    demands,
    patterns,
    curves,
    status,
    emitters,
    coordinates,
    options,
    controls,
    rules,
    times,
    skipped,
    unknown,
    end
};

struct SectionName {
    std::string_view name;
    Section section;
};

constexpr std::array<SectionName, 30> section_names{{
    {"TITLE", Section::title},
    {"JUNCTIONS", Section::junctions},
    {"RESERVOIRS", Section::reservoirs},
    {"TANKS", Section::tanks},
    {"PIPES", Section::pipes},
    {"PUMPS", Section::pumps},
    {"VALVES", Section::valves},
    {"DEMANDS", Section::demands},
    {"PATTERNS", Section::patterns},
    {"STATUS", Section::status},
    {"EMITTERS", Section::emitters},
    {"COORDINATES", Section::coordinates},
    {"OPTIONS", Section::options},
    {"CONTROLS", Section::controls},
    {"RULES", Section::rules},
    {"VERTICES", Section::skipped},
    {"LABELS", Section::skipped},
    {"BACKDROP", Section::skipped},
    {"TAGS", Section::skipped},
    {"CURVES", Section::curves},
    {"ENERGY", Section::skipped},
    {"QUALITY", Section::skipped},
    {"SOURCES", Section::skipped},
    {"REACTIONS", Section::skipped},
    {"MIXING", Section::skipped},
    {"TIMES", Section::times},
    {"REPORT", Section::skipped},
    {"LEAKAGE", Section::skipped},
    {"END", Section::end},
    {"", Section::unknown},
}};

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

Section section_of(std::string_view name) {
    std::string key = upper(name);
    for (const SectionName& s : section_names)
        if (!s.name.empty() && s.name == key) return s.section;
    return Section::unknown;
}

std::string_view section_label(Section section) {
    for (const SectionName& s : section_names)
        if (s.section == section) return s.name;
    return "";
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

class Reader {
public:
    Reader(InpNetwork& network, std::vector<Diagnostic>& diagnostics)
        : net_(network), diagnostics_(diagnostics) {}

    void read(std::string_view text) {
        std::size_t begin = 0;
        while (begin < text.size() && !ended_) {
            std::size_t end = text.find('\n', begin);
            if (end == std::string_view::npos) end = text.size();
            ++line_;
            read_line(text.substr(begin, end - begin));
            begin = end + 1;
        }
        if (ended_ && begin < text.size() &&
            text.find_first_not_of(" \t\r\n", begin) != std::string_view::npos)
            note(Message::section_after_end, line_ + 1, {});
    }

    void check_references();

    // A file without a single section header holds no network; the fixed-column files of the
    // programs are the likely mix-up.
    void check_sections(std::string_view text) {
        if (any_section_) {
            if (outside_line_ != 0) note(Message::text_outside_section, outside_line_, {});
            return;
        }
        const bool fixed_columns = looks_like_fixed_columns(text);
        note(Message::not_an_inp_file, 0,
             {fixed_columns ? ": it looks like a lamnet or turbnet input file "
                              "(fixed columns), which pipenet solve reads as it is"
                            : ""});
    }

private:
    void note(Message id, std::int32_t line, std::initializer_list<std::string_view> values) {
        diagnostics_.push_back(diagnostic(id, line, values));
    }
    // A message about the line being read; its severity is the table's, an error for all of these.
    void error(Message id, std::initializer_list<std::string_view> values) {
        note(id, line_, values);
    }

    void read_line(std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > max_line_length) {
            error(Message::line_too_long, {});
            return;
        }
        for (char c : line) {
            auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
                std::array<char, 3> hex{};
                std::snprintf(hex.data(), hex.size(), "%02X", byte);
                error(Message::stray_byte, {hex.data()});
                return;
            }
        }
        if (!tokenize(line)) return;
        if (tokens_.empty()) return;
        if (!quoted_first_ && tokens_.front().starts_with('[')) {
            start_section(line);
            return;
        }
        if (section_ == Section::title) {
            std::size_t first = line.find_first_not_of(" \t");
            std::size_t semicolon = line.find(';');
            net_.title.emplace_back(line.substr(first, semicolon == std::string_view::npos
                                                           ? std::string_view::npos
                                                           : semicolon - first));
            return;
        }
        dispatch();
    }

    // Splits the line into tokens: blanks and TABs separate, ';' starts a comment, a double
    // quote starts a token that runs to the next double quote.
    bool tokenize(std::string_view line) {
        tokens_.clear();
        quoted_first_ = false;
        std::size_t i = 0;
        while (i < line.size()) {
            char c = line[i];
            if (is_blank(c)) {
                ++i;
            } else if (c == ';') {
                break;
            } else if (c == '"') {
                std::size_t close = line.find('"', i + 1);
                if (close == std::string_view::npos) {
                    error(Message::unclosed_quote, {});
                    return false;
                }
                if (tokens_.empty()) quoted_first_ = true;
                tokens_.push_back(line.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                std::size_t end = i;
                while (end < line.size() && !is_blank(line[end]) && line[end] != ';' &&
                       line[end] != '"')
                    ++end;
                tokens_.push_back(line.substr(i, end - i));
                i = end;
            }
        }
        return true;
    }

    void start_section(std::string_view line) {
        any_section_ = true;
        std::size_t open = line.find('[');
        std::size_t close = line.find(']', open);
        if (close == std::string_view::npos) {
            error(Message::bad_section_header, {});
            section_ = Section::unknown;
            return;
        }
        std::string_view name = line.substr(open + 1, close - open - 1);
        while (!name.empty() && is_blank(name.front())) name.remove_prefix(1);
        while (!name.empty() && is_blank(name.back())) name.remove_suffix(1);
        section_ = section_of(name);
        if (section_ == Section::unknown)
            note(Message::unknown_section, line_, {name.substr(0, 40)});
        if (section_ == Section::end) ended_ = true;
    }

    bool fields(std::size_t needed) {
        if (tokens_.size() >= needed) return true;
        error(Message::too_few_fields,
              {section_label(section_), std::to_string(needed), std::to_string(tokens_.size())});
        return false;
    }

    bool number(std::size_t index, double& value) {
        std::string_view token = tokens_[index];
        std::string_view digits = token;
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size() ||
            !std::isfinite(value)) {
            error(Message::not_a_number, {section_label(section_), token.substr(0, 40)});
            return false;
        }
        return true;
    }

    bool id(std::size_t index, std::string& out) {
        std::string_view token = tokens_[index];
        if (token.empty()) {
            error(Message::empty_id, {});
            return false;
        }
        if (token.size() > max_id_length) {
            error(Message::id_too_long, {token.substr(0, 40)});
            return false;
        }
        out.assign(token);
        return true;
    }

    // An optional numeric field: absent reads as `fallback`.
    bool optional_number(std::size_t index, double& value, double fallback) {
        if (index >= tokens_.size()) {
            value = fallback;
            return true;
        }
        return number(index, value);
    }

    bool status_word(std::string_view token, LinkStatus& status, bool& setting) {
        double value = 0.0;
        return status_word(token, status, setting, value);
    }

    // A status, or a numeric setting (`setting` true, its number in `value`).
    bool status_word(std::string_view token, LinkStatus& status, bool& setting, double& value) {
        std::string word = upper(token);
        setting = false;
        if (word == "OPEN") {
            status = LinkStatus::open;
        } else if (word == "CLOSED") {
            status = LinkStatus::closed;
        } else if (word == "CV") {
            status = LinkStatus::check_valve;
        } else {
            auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
            if (ec != std::errc{} || end != token.data() + token.size() || !std::isfinite(value)) {
                error(Message::unknown_status, {token.substr(0, 40)});
                return false;
            }
            setting = true;
        }
        return true;
    }

    void dispatch() {
        switch (section_) {
        case Section::none:
            if (outside_line_ == 0) outside_line_ = line_;
            return;
        case Section::junctions: {
            InpJunction j;
            j.line = line_;
            if (!fields(2) || !id(0, j.id) || !number(1, j.elevation) ||
                !optional_number(2, j.base_demand, 0.0))
                return;
            if (tokens_.size() > 3 && !id(3, j.pattern)) return;
            net_.junctions.push_back(std::move(j));
            return;
        }
        case Section::reservoirs: {
            InpReservoir r;
            r.line = line_;
            if (!fields(2) || !id(0, r.id) || !number(1, r.head)) return;
            if (tokens_.size() > 2 && !id(2, r.pattern)) return;
            net_.reservoirs.push_back(std::move(r));
            return;
        }
        case Section::tanks: {
            InpTank t;
            t.line = line_;
            if (!fields(2) || !id(0, t.id) || !number(1, t.bottom_elevation)) return;
            if (tokens_.size() == 2) {
                note(Message::tank_as_reservoir, line_, {t.id});
            } else if (!number(2, t.initial_level)) {
                return;
            }
            net_.tanks.push_back(std::move(t));
            return;
        }
        case Section::pipes: {
            InpPipe p;
            p.line = line_;
            if (!fields(6) || !id(0, p.id) || !id(1, p.start_node) || !id(2, p.end_node) ||
                !number(3, p.length) || !number(4, p.diameter) || !number(5, p.roughness))
                return;
            if (tokens_.size() > 6) {
                // The minor loss may be left out before the status.
                LinkStatus status = LinkStatus::open;
                bool setting = false;
                std::string word = upper(tokens_[6]);
                if (word == "OPEN" || word == "CLOSED" || word == "CV") {
                    if (!status_word(tokens_[6], status, setting)) return;
                    p.status = status;
                } else {
                    if (!number(6, p.minor_loss)) return;
                    if (tokens_.size() > 7) {
                        if (!status_word(tokens_[7], status, setting)) return;
                        if (setting) {
                            error(Message::unknown_status, {tokens_[7].substr(0, 40)});
                            return;
                        }
                        p.status = status;
                    }
                }
            }
            net_.pipes.push_back(std::move(p));
            return;
        }
        case Section::pumps:
            read_pump();
            return;
        case Section::curves: {
            std::string curve_id;
            std::pair<double, double> point;
            if (!fields(3) || !id(0, curve_id) || !number(1, point.first) ||
                !number(2, point.second))
                return;
            auto [it, fresh] = curve_index_.try_emplace(curve_id, net_.curves.size());
            if (fresh) net_.curves.push_back({curve_id, {}, line_});
            net_.curves[it->second].points.push_back(point);
            return;
        }
        case Section::valves: {
            InpValve v;
            v.line = line_;
            if (!fields(6) || !id(0, v.id) || !id(1, v.start_node) || !id(2, v.end_node) ||
                !number(3, v.diameter))
                return;
            v.type = upper(tokens_[4]);
            static constexpr std::array<std::string_view, 6> types{"PRV", "PSV", "PBV",
                                                                   "FCV", "TCV", "GPV"};
            if (std::find(types.begin(), types.end(), v.type) == types.end()) {
                error(Message::unknown_valve_type, {tokens_[4].substr(0, 40)});
                return;
            }
            if (v.type == "GPV") {
                if (!id(5, v.curve)) return;
            } else if (!number(5, v.setting)) {
                return;
            }
            if (!optional_number(6, v.minor_loss, 0.0)) return;
            net_.valves.push_back(std::move(v));
            return;
        }
        case Section::demands: {
            InpDemand d;
            d.line = line_;
            if (!fields(2) || !id(0, d.junction) || !number(1, d.base_demand)) return;
            if (tokens_.size() > 2 && !id(2, d.pattern)) return;
            net_.demands.push_back(std::move(d));
            return;
        }
        case Section::patterns: {
            std::string pattern_id;
            if (!fields(1) || !id(0, pattern_id)) return;
            auto [it, fresh] = pattern_index_.try_emplace(pattern_id, net_.patterns.size());
            if (fresh) net_.patterns.push_back({pattern_id, {}, line_});
            InpPattern& pattern = net_.patterns[it->second];
            for (std::size_t i = 1; i < tokens_.size(); ++i) {
                double multiplier = 0.0;
                if (!number(i, multiplier)) return;
                pattern.multipliers.push_back(multiplier);
            }
            return;
        }
        case Section::status: {
            InpStatus s;
            s.line = line_;
            if (!fields(2) || !id(0, s.link) ||
                !status_word(tokens_[1], s.status, s.setting, s.value))
                return;
            if (s.setting && !number(1, s.value)) return;
            net_.statuses.push_back(std::move(s));
            return;
        }
        case Section::emitters: {
            InpEmitter e;
            e.line = line_;
            if (!fields(2) || !id(0, e.junction) || !number(1, e.coefficient)) return;
            net_.emitters.push_back(std::move(e));
            return;
        }
        case Section::coordinates: {
            InpCoordinate c;
            c.line = line_;
            if (!fields(3) || !id(0, c.node) || !number(1, c.x) || !number(2, c.y)) return;
            net_.coordinates.push_back(std::move(c));
            return;
        }
        case Section::options:
            read_option();
            return;
        case Section::times:
            read_time();
            return;
        case Section::controls:
            if (net_.controls_line == 0) net_.controls_line = line_;
            net_.controls.push_back({{tokens_.begin(), tokens_.end()}, line_});
            return;
        case Section::rules:
            if (net_.controls_line == 0) net_.controls_line = line_;
            if (upper(tokens_.front()) == "RULE")
                net_.rules.push_back({tokens_.size() > 1 ? std::string(tokens_[1]) : "", line_});
            return;
        case Section::title:
        case Section::skipped:
        case Section::unknown:
        case Section::end:
            return;
        }
    }

    // ID, start, end, then keywords with a value each: HEAD curve, POWER, SPEED, PATTERN.
    void read_pump() {
        InpPump p;
        p.line = line_;
        if (!fields(3) || !id(0, p.id) || !id(1, p.start_node) || !id(2, p.end_node)) return;
        for (std::size_t i = 3; i < tokens_.size(); i += 2) {
            const std::string key = upper(tokens_[i]);
            if (key != "HEAD" && key != "POWER" && key != "SPEED" && key != "PATTERN") {
                error(Message::pump_keyword,
                      {p.id, "unknown keyword '" + std::string(tokens_[i].substr(0, 40)) +
                                 "' (HEAD, POWER, SPEED or PATTERN)"});
                return;
            }
            if (i + 1 >= tokens_.size()) {
                error(Message::pump_keyword, {p.id, key + " has no value"});
                return;
            }
            if (key == "HEAD") {
                if (!id(i + 1, p.curve)) return;
            } else if (key == "PATTERN") {
                if (!id(i + 1, p.pattern)) return;
            } else if (!number(i + 1, key == "POWER" ? p.power : p.speed)) {
                return;
            } else if (key == "POWER" && !(p.power > 0.0)) {
                error(Message::pump_keyword, {p.id, "its power is not positive"});
                return;
            } else if (key == "SPEED" && p.speed < 0.0) {
                error(Message::pump_keyword, {p.id, "its speed is negative"});
                return;
            }
        }
        if (p.curve.empty() && p.power == 0.0) {
            error(Message::pump_without_curve, {p.id});
            return;
        }
        net_.pumps.push_back(std::move(p));
    }

    // The two times that decide which multiplier of a pattern applies at a given time.
    void read_time() {
        if (tokens_.size() >= 3 && upper(tokens_[0]) == "START" &&
            upper(tokens_[1]) == "CLOCKTIME") {
            std::string_view suffix = tokens_.size() > 3 ? tokens_[3] : std::string_view();
            if (!parse_clock_time(tokens_[2], suffix, net_.options.start_clocktime))
                error(Message::bad_time, {tokens_[2].substr(0, 40)});
            return;
        }
        if (tokens_.size() < 2 || upper(tokens_[0]) != "PATTERN") return;
        std::string key = upper(tokens_[1]);
        if (key != "TIMESTEP" && key != "START") return;
        if (!fields(3)) return;
        std::int64_t seconds = 0;
        std::string_view unit = tokens_.size() > 3 ? tokens_[3] : std::string_view();
        if (!parse_duration(tokens_[2], unit, seconds) || (key == "TIMESTEP" && seconds <= 0)) {
            error(Message::bad_time, {tokens_[2].substr(0, 40)});
            return;
        }
        (key == "TIMESTEP" ? net_.options.pattern_step : net_.options.pattern_start) = seconds;
    }

    void read_option() {
        std::string key = upper(tokens_.front());
        std::size_t value_index = 1;
        if (key == "DEMAND" && tokens_.size() > 1 && upper(tokens_[1]) == "MULTIPLIER")
            value_index = 2;
        else if (key != "UNITS" && key != "HEADLOSS" && key != "PATTERN" && key != "VISCOSITY" &&
                 key != "PRESSURE")
            return; // options that do not change a steady state of pipes
        if (!fields(value_index + 1)) return;
        std::string_view token = tokens_[value_index];
        std::string value = upper(token);
        if (key == "UNITS") {
            static constexpr std::array<std::pair<std::string_view, FlowUnits>, 11> units{{
                {"CFS", FlowUnits::cfs},
                {"GPM", FlowUnits::gpm},
                {"MGD", FlowUnits::mgd},
                {"IMGD", FlowUnits::imgd},
                {"AFD", FlowUnits::afd},
                {"LPS", FlowUnits::lps},
                {"LPM", FlowUnits::lpm},
                {"MLD", FlowUnits::mld},
                {"CMH", FlowUnits::cmh},
                {"CMD", FlowUnits::cmd},
                {"CMS", FlowUnits::cms},
            }};
            for (const auto& [name, unit] : units) {
                if (name == value) {
                    net_.options.units = unit;
                    return;
                }
            }
            if (value == "SI") {
                net_.options.units = FlowUnits::lps;
                note(Message::units_si_as_lps, line_, {});
                return;
            }
            error(Message::unknown_units, {token.substr(0, 40)});
        } else if (key == "HEADLOSS") {
            if (value == "H-W") {
                net_.options.headloss = HeadLoss::hazen_williams;
            } else if (value == "D-W") {
                net_.options.headloss = HeadLoss::darcy_weisbach;
            } else if (value == "C-M") {
                net_.options.headloss = HeadLoss::chezy_manning;
            } else {
                error(Message::unknown_headloss, {token.substr(0, 40)});
                return;
            }
            net_.options.headloss_line = line_;
        } else if (key == "PATTERN") {
            if (id(value_index, net_.options.default_pattern))
                net_.options.default_pattern_line = line_;
        } else if (key == "PRESSURE") {
            net_.options.pressure = value;
            net_.options.pressure_line = line_;
        } else if (key == "VISCOSITY") {
            number(value_index, net_.options.viscosity);
        } else {
            number(value_index, net_.options.demand_multiplier);
        }
    }

    InpNetwork& net_;
    std::vector<Diagnostic>& diagnostics_;
    std::vector<std::string_view> tokens_;
    bool quoted_first_ = false;
    Section section_ = Section::none;
    std::int32_t line_ = 0;
    bool ended_ = false;
    std::int32_t outside_line_ = 0; // the first line of text before any section
    bool any_section_ = false;
    std::unordered_map<std::string, std::size_t> pattern_index_;
    std::unordered_map<std::string, std::size_t> curve_index_;
};

// Why the points of a pump's head curve cannot be one, or "": flows rising, heads falling, and
// a single point away from zero flow and head.
std::string pump_curve_fault(const InpCurve& curve) {
    const auto& p = curve.points;
    if (p.size() == 1 && !(p[0].first > 0.0 && p[0].second > 0.0))
        return "single point is not above zero flow and head: the curve cannot be fitted";
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].first < 0.0) return "flows include a negative one";
        if (i > 0 && !(p[i].first > p[i - 1].first))
            return "flows do not increase from point to point";
        if (i > 0 && !(p[i].second < p[i - 1].second))
            return "heads do not fall from point to point";
    }
    return {};
}

void Reader::check_references() {
    std::unordered_map<std::string_view, std::int32_t> nodes;
    std::unordered_map<std::string_view, std::int32_t> junctions;
    std::unordered_map<std::string_view, std::int32_t> links;
    std::unordered_map<std::string_view, std::int32_t> patterns;
    auto add_node = [&](const std::string& id, std::int32_t line) {
        auto [it, fresh] = nodes.try_emplace(id, line);
        if (!fresh) note(Message::duplicate_node, line, {id, std::to_string(it->second)});
    };
    auto add_link = [&](const std::string& id, std::int32_t line) {
        auto [it, fresh] = links.try_emplace(id, line);
        if (!fresh) note(Message::duplicate_link, line, {id, std::to_string(it->second)});
    };
    for (const InpJunction& j : net_.junctions) {
        add_node(j.id, j.line);
        junctions.try_emplace(j.id, j.line);
    }
    for (const InpReservoir& r : net_.reservoirs) add_node(r.id, r.line);
    for (const InpTank& t : net_.tanks) add_node(t.id, t.line);
    for (const InpPipe& p : net_.pipes) add_link(p.id, p.line);
    for (const InpOtherLink& l : net_.pumps) add_link(l.id, l.line);
    for (const InpValve& v : net_.valves) add_link(v.id, v.line);
    for (const InpPattern& p : net_.patterns) {
        patterns.try_emplace(p.id, p.line);
        if (p.multipliers.empty()) note(Message::empty_pattern, p.line, {p.id});
    }

    auto need_node = [&](const auto& map, std::string_view what, const std::string& owner,
                         const std::string& node, std::int32_t line) {
        if (map.find(node) == map.end()) note(Message::unknown_node, line, {what, owner, node});
    };
    auto need_pattern = [&](std::string_view what, const std::string& owner,
                            const std::string& pattern, std::int32_t line) {
        if (!pattern.empty() && patterns.find(pattern) == patterns.end())
            note(Message::unknown_pattern, line, {what, owner, pattern});
    };
    for (const InpPipe& p : net_.pipes) {
        need_node(nodes, "pipe", p.id, p.start_node, p.line);
        need_node(nodes, "pipe", p.id, p.end_node, p.line);
    }
    std::unordered_map<std::string_view, const InpCurve*> curves;
    for (const InpCurve& c : net_.curves) curves.try_emplace(c.id, &c);
    for (const InpPump& l : net_.pumps) {
        need_node(nodes, "pump", l.id, l.start_node, l.line);
        need_node(nodes, "pump", l.id, l.end_node, l.line);
        need_pattern("pump", l.id, l.pattern, l.line);
        if (l.curve.empty()) continue;
        auto it = curves.find(l.curve);
        if (it == curves.end()) {
            note(Message::unknown_curve, l.line, {"pump", l.id, l.curve});
            continue;
        }
        const std::string fault = pump_curve_fault(*it->second);
        if (!fault.empty()) note(Message::bad_pump_curve, l.line, {l.id, l.curve, fault});
    }
    for (const InpValve& v : net_.valves) {
        need_node(nodes, "valve", v.id, v.start_node, v.line);
        need_node(nodes, "valve", v.id, v.end_node, v.line);
        if (!v.curve.empty() && curves.find(v.curve) == curves.end())
            note(Message::unknown_curve, v.line, {"valve", v.id, v.curve});
    }
    for (const InpDemand& d : net_.demands) {
        need_node(junctions, "demand at", d.junction, d.junction, d.line);
        need_pattern("demand at", d.junction, d.pattern, d.line);
    }
    for (const InpJunction& j : net_.junctions) need_pattern("junction", j.id, j.pattern, j.line);
    for (const InpReservoir& r : net_.reservoirs)
        need_pattern("reservoir", r.id, r.pattern, r.line);
    if (!net_.options.default_pattern.empty() &&
        patterns.find(net_.options.default_pattern) == patterns.end())
        note(Message::default_pattern_missing, net_.options.default_pattern_line,
             {net_.options.default_pattern});
    for (const InpEmitter& e : net_.emitters)
        need_node(junctions, "emitter at", e.junction, e.junction, e.line);
    for (const InpCoordinate& c : net_.coordinates)
        if (nodes.find(c.node) == nodes.end())
            note(Message::coordinates_of_unknown_node, c.line, {c.node});
    for (const InpStatus& s : net_.statuses)
        if (links.find(s.link) == links.end())
            note(Message::unknown_link, s.line, {"STATUS", s.link});
}

} // namespace

bool looks_like_fixed_columns(std::string_view text) {
    const std::string_view first = text.substr(0, text.find('\n'));
    std::size_t numbers = 0;
    std::size_t i = 0;
    while (i < first.size()) {
        if (is_blank(first[i]) || first[i] == '\r') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < first.size() && !is_blank(first[end]) && first[end] != '\r') ++end;
        double value = 0.0;
        const std::string_view token = first.substr(i, end - i);
        auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (ec != std::errc{} || ptr != token.data() + token.size()) return false;
        ++numbers;
        i = end;
    }
    return numbers >= 4;
}

bool parse_clock_time(std::string_view text, std::string_view suffix, std::int64_t& seconds) {
    const std::string half = upper(suffix);
    if (!half.empty() && half != "AM" && half != "PM") return false;
    std::int64_t time = 0;
    if (!parse_duration(text, "", time)) return false;
    if (!half.empty()) {
        if (time >= 13 * 3600) return false;      // "13:00 PM" is no clock time
        if (time >= 12 * 3600) time -= 12 * 3600; // 12 AM is midnight, 12 PM noon
        if (half == "PM") time += 12 * 3600;
    }
    if (time >= 24 * 3600) return false;
    seconds = time;
    return true;
}

bool parse_duration(std::string_view text, std::string_view unit, std::int64_t& seconds) {
    // H:MM or H:MM:SS, whatever the unit word.
    if (text.find(':') != std::string_view::npos) {
        std::int64_t parts[3] = {0, 0, 0};
        int count = 0;
        std::size_t begin = 0;
        while (begin <= text.size() && count < 3) {
            std::size_t end = text.find(':', begin);
            if (end == std::string_view::npos) end = text.size();
            std::string_view part = text.substr(begin, end - begin);
            auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), parts[count]);
            if (part.empty() || ec != std::errc{} || ptr != part.data() + part.size() ||
                parts[count] < 0 || parts[count] > 1000000)
                return false;
            ++count;
            begin = end + 1;
            if (end == text.size()) break;
        }
        if (begin <= text.size() || count < 2 || parts[1] >= 60 || parts[2] >= 60) return false;
        seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
        return true;
    }
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size() || !(value >= 0.0) ||
        value > 1.0e9)
        return false;
    std::string word = upper(unit);
    double scale = 3600.0; // a bare number is hours
    if (word.starts_with("SEC")) {
        scale = 1.0;
    } else if (word.starts_with("MIN")) {
        scale = 60.0;
    } else if (word.starts_with("DAY")) {
        scale = 86400.0;
    } else if (!word.empty() && !word.starts_with("HOUR")) {
        return false;
    }
    seconds = static_cast<std::int64_t>(std::llround(value * scale));
    return true;
}

double multiplier_at(const InpNetwork& network, std::string_view pattern, std::int64_t seconds) {
    if (pattern.empty())
        pattern = network.options.default_pattern.empty()
                      ? std::string_view("1")
                      : std::string_view(network.options.default_pattern);
    for (const InpPattern& p : network.patterns) {
        if (p.id != pattern || p.multipliers.empty()) continue;
        const std::int64_t step = std::max<std::int64_t>(network.options.pattern_step, 1);
        const auto period = (seconds + network.options.pattern_start) / step;
        return p.multipliers[static_cast<std::size_t>(
            period % static_cast<std::int64_t>(p.multipliers.size()))];
    }
    return 1.0;
}

bool read_inp(std::string_view text, InpNetwork& network, std::vector<Diagnostic>& diagnostics) {
    network = InpNetwork{};
    std::size_t first = diagnostics.size();
    Reader reader(network, diagnostics);
    reader.read(text);
    reader.check_sections(text);
    reader.check_references();
    for (std::size_t i = first; i < diagnostics.size(); ++i)
        if (diagnostics[i].severity == Severity::error) return false;
    return true;
}

} // namespace pipenet::exchange
