#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "report/shortest_text.hpp"
#include "solve/render.hpp"
#include "solve/text_block.hpp"

namespace pipenet::solve {

std::string float_text(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    std::array<char, 32> text{};
    return {text.data(), shortest_text(text.data(), text.data() + text.size(), value)};
}

namespace {

// The document is put together here so that every number is written as the shortest decimal of
// its own type: a float as std::to_chars writes a float (a general-purpose JSON writer would
// print the float's double, often with more digits). A reader that takes the number as a double
// and rounds it to float gets the float back, as the shortest text of a float lies strictly
// within half a float step of it. Strings go through the JSON library for their escapes.
// Keys are literals with their comma; the room for a whole object of numbers is made at once.
class Writer : public TextBlock {
public:
    using TextBlock::put;
    using TextBlock::TextBlock;

    void put(std::int32_t number) { put_integer(number); }
    template <class Real>
    void put(Real number) requires std::is_floating_point_v<Real> {
        if (std::isfinite(number)) {
            put_shortest(number);
        } else {
            put("null");
        }
    }
    template <class Real>
    void put(const std::optional<Real>& number) {
        if (number) {
            put(*number);
        } else {
            put("null");
        }
    }
    // A string makes its own room.
    void put(std::string_view string) {
        // Printable ASCII needs no escape; anything else goes through the JSON library. File
        // names need not be UTF-8: bytes that are not are replaced, never a failure.
        if (std::all_of(string.begin(), string.end(),
                        [](char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; })) {
            room(1);
            put('"');
            append(string);
            room(1);
            put('"');
            return;
        }
        append(nlohmann::json(std::string(string))
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    void put(const std::optional<std::string>& string) {
        if (string) {
            put(std::string_view(*string));
        } else {
            room(4);
            put("null");
        }
    }
};

// The same value to the bit: its text is the same.
template <class Real>
bool same_bits(Real a, Real b) {
    if constexpr (sizeof(Real) == sizeof(std::uint64_t)) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    } else {
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    }
}

// A time as H:MM, or H:MM:SS when it has seconds.
std::string clock_time(std::int64_t seconds) {
    std::string text = std::to_string(seconds / 3600) + ":";
    const std::int64_t minutes = seconds / 60 % 60;
    text += (minutes < 10 ? "0" : "") + std::to_string(minutes);
    if (const std::int64_t rest = seconds % 60; rest != 0)
        text += (rest < 10 ? ":0" : ":") + std::to_string(rest);
    return text;
}

// The nodes, pipes and passes, their values of the arithmetic written as `Real` (a value of the
// programs' arithmetic is a float widened, written back as that float).
template <class Real>
void write_results(Writer& w, const NetworkResult& result) {
    const auto as = [](const auto& v) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, double>)
            return static_cast<Real>(v);
        else
            return v ? std::optional<Real>(static_cast<Real>(*v)) : std::optional<Real>();
    };
    // The most a node's or a pipe's numbers and keys take, its strings aside.
    constexpr std::size_t node_room = 10 * Writer::number_room + 160;
    constexpr std::size_t pipe_room = 6 * Writer::number_room + 160;
    w.room(16);
    w.put(",\"nodes\":[");
    bool first = true;
    for (const NodeResult& n : result.nodes) {
        w.room(node_room);
        if (first) {
            w.put("{\"node\":");
        } else {
            w.put(",{\"node\":");
        }
        first = false;
        w.put(n.node);
        w.put(",\"x\":");
        w.put(as(n.x));
        w.put(",\"y\":");
        w.put(as(n.y));
        w.put(",\"head\":");
        const char* head_text = w.end();
        w.put(as(n.head));
        const char* head_end = w.end();
        w.put(",\"discharge\":");
        w.put(as(n.discharge));
        w.put(",\"known_head\":");
        // At a known head the head found is mostly the one given.
        if (const std::optional<Real> known = as(n.known_head);
            known && same_bits(*known, as(n.head))) {
            w.repeat(head_text, head_end);
        } else {
            w.put(known);
        }
        w.put(",\"known_discharge\":");
        w.put(as(n.known_discharge));
        w.put(",\"balance_error\":");
        w.put(n.balance_error);
        w.put(",\"elevation\":");
        w.put(n.elevation);
        w.put(",\"pressure\":");
        w.put(n.pressure);
        if (result.labelled) {
            w.put(",\"id\":");
            w.put(n.id);
            w.room(1);
        }
        w.put("}");
    }
    w.room(16);
    w.put("],\"pipes\":[");
    first = true;
    // The last diameter written and its text: pipes in a row mostly share their diameter.
    std::optional<Real> diameter;
    std::array<char, Writer::number_room> diameter_text{};
    std::size_t diameter_size = 0;
    for (const PipeResult& p : result.pipes) {
        w.room(pipe_room);
        if (first) {
            w.put("{\"pipe\":");
        } else {
            w.put(",{\"pipe\":");
        }
        first = false;
        w.put(p.pipe);
        w.put(",\"start\":");
        w.put(p.start);
        w.put(",\"end\":");
        w.put(p.end);
        w.put(",\"diameter\":");
        if (diameter && same_bits(*diameter, as(p.diameter))) {
            w.repeat(diameter_text.data(), diameter_text.data() + diameter_size);
        } else {
            const char* text = w.end();
            diameter = as(p.diameter);
            w.put(*diameter);
            diameter_size = static_cast<std::size_t>(w.end() - text);
            std::memcpy(diameter_text.data(), text, diameter_size);
        }
        w.put(",\"length\":");
        w.put(as(p.length));
        w.put(",\"discharge\":");
        w.put(as(p.discharge));
        w.put(",\"head_loss\":");
        w.put(as(p.head_loss));
        w.put(",\"velocity\":");
        w.put(as(p.velocity));
        if (result.labelled) {
            w.put(",\"id\":");
            w.put(p.id);
            w.room(16);
            w.put(",\"start_id\":");
            w.put(p.start_id);
            w.room(16);
            w.put(",\"end_id\":");
            w.put(p.end_id);
        }
        if (p.kind) {
            w.room(16);
            w.put(",\"kind\":");
            w.put(std::string_view(*p.kind));
        }
        if (p.state) {
            w.room(16);
            w.put(",\"state\":");
            w.put(std::string_view(*p.state));
        }
        w.room(Writer::number_room + 16);
        if (p.head_gain) {
            w.put(",\"head_gain\":");
            w.put(*p.head_gain);
        }
        w.put("}");
    }
    w.room(16);
    w.put("],\"passes\":[");
    first = true;
    for (const PassResult& p : result.passes) {
        w.room(3 * Writer::number_room + 100);
        if (first) {
            w.put("{\"pass\":");
        } else {
            w.put(",{\"pass\":");
        }
        first = false;
        w.put(p.pass);
        w.put(",\"relative_residual\":");
        w.put(as(p.relative_residual));
        if (p.max_imbalance) {
            w.put(",\"max_imbalance\":");
            w.put(*p.max_imbalance);
        }
        if (p.max_head_change) {
            w.put(",\"max_head_change\":");
            w.put(*p.max_head_change);
        }
        w.put("}");
    }
}

} // namespace

std::string json_document(const NetworkResult& result) {
    std::string text;
    json_document(result, text);
    return text;
}

void json_document(const NetworkResult& result, std::string& text) {
    // About the length of a node's or a pipe's object, so that the text is allocated once.
    text.reserve(text.size() + 512 + 200 * (result.nodes.size() + result.pipes.size()) +
                 80 * result.passes.size());
    Writer w(text);
    w.room(16);
    w.put("{\"file\":");
    w.put(std::string_view(result.file));
    w.room(16);
    w.put(",\"program\":");
    w.put(std::string_view(result.inp                          ? "inp"
                           : result.program == Program::lamnet ? "lamnet"
                                                               : "turbnet"));
    if (result.inp) {
        w.room(16);
        w.put(",\"time\":");
        w.put(std::string_view(clock_time(result.time)));
    }
    w.room(16);
    w.put(",\"arithmetic\":");
    w.put(std::string_view(result.arithmetic == Arithmetic::programs ? "programs" : "double"));
    w.room(16);
    w.put(",\"outcome\":");
    w.put(std::string_view(verdict_name(result.verdict)));
    if (!result.law.empty()) {
        w.room(16);
        w.put(",\"law\":");
        w.put(std::string_view(result.law));
    }
    if (result.arithmetic == Arithmetic::programs) {
        write_results<float>(w, result);
    } else {
        write_results<double>(w, result);
    }
    w.room(Writer::number_room + 40);
    w.put("],\"max_balance_error\":");
    w.put(result.max_balance_error);
    w.put(",\"messages\":[");
    bool first = true;
    for (const Message& m : result.messages) {
        w.room(16);
        if (first) {
            w.put("{\"severity\":");
        } else {
            w.put(",{\"severity\":");
        }
        first = false;
        w.put(std::string_view(m.severity));
        w.room(16);
        w.put(",\"code\":");
        w.put(std::string_view(m.code));
        w.room(16);
        w.put(",\"text\":");
        w.put(std::string_view(m.text));
        w.room(1);
        w.put("}");
    }
    w.room(3);
    w.put("]}\n");
}

} // namespace pipenet::solve
