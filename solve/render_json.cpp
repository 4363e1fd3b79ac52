#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "report/shortest_text.hpp"
#include "solve/render.hpp"

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
// The text is put together in a small buffer and appended to the document a block at a time:
// growing a string byte by byte, or sizing it ahead (which fills it), costs more than the text.
class Writer {
public:
    explicit Writer(std::string& text) : text_(text) {}
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer() { flush(); }
    // A key is a literal: its length is known where it is written.
    template <std::size_t N>
    void key(const char (&name)[N]) {
        separate();
        room(N + 2);
        *end_++ = '"';
        std::memcpy(end_, name, N - 1);
        end_ += N - 1;
        *end_++ = '"';
        *end_++ = ':';
        fresh_ = true;
    }
    void open(char bracket) {
        separate();
        room(1);
        *end_++ = bracket;
        fresh_ = true;
    }
    void close(char bracket) {
        room(1);
        *end_++ = bracket;
        fresh_ = false;
    }
    void value(std::int32_t number) {
        separate();
        room(16);
        end_ = std::to_chars(end_, end_ + 16, number).ptr;
    }
    template <class Real>
    void value(Real number) requires std::is_floating_point_v<Real> {
        separate();
        room(32);
        if (!std::isfinite(number)) {
            put("null");
            return;
        }
        end_ = shortest_text(end_, end_ + 32, number);
    }
    template <class T>
    void value(const std::optional<T>& number) {
        if (number) {
            value(*number);
        } else {
            separate();
            room(4);
            put("null");
        }
    }
    void value(std::string_view string) {
        separate();
        // Printable ASCII needs no escape; anything else goes through the JSON library. File
        // names need not be UTF-8: bytes that are not are replaced, never a failure.
        if (std::all_of(string.begin(), string.end(),
                        [](char c) { return c >= 0x20 && c < 0x7f && c != '"' && c != '\\'; })) {
            room(1);
            *end_++ = '"';
            put(string);
            room(1);
            *end_++ = '"';
            return;
        }
        const std::string escaped =
            nlohmann::json(std::string(string))
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        room(escaped.size());
        put(escaped);
    }
    template <std::size_t N, class T>
    void member(const char (&name)[N], const T& v) {
        key(name);
        value(v);
    }
    void end_line() { put("\n"); }
    void flush() {
        text_.append(block_.data(), static_cast<std::size_t>(end_ - block_.data()));
        end_ = block_.data();
    }

private:
    void separate() {
        room(1);
        if (!fresh_) *end_++ = ',';
        fresh_ = false;
    }
    std::size_t free() const {
        return static_cast<std::size_t>(block_.data() + block_.size() - end_);
    }
    // Makes room for `size` (at most a number's length) more bytes in the block.
    void room(std::size_t size) {
        if (free() < size) flush();
    }
    void put(std::string_view text) {
        if (free() < text.size()) flush();
        if (free() < text.size()) {
            text_ += text;
            return;
        }
        std::memcpy(end_, text.data(), text.size());
        end_ += text.size();
    }
    // Below the size from which the C library copies byte by byte.
    std::array<char, 2048> block_;
    char* end_ = block_.data();
    std::string& text_;
    bool fresh_ = true;
};

} // namespace

namespace {

// A value of the programs' arithmetic is a float widened, written back as that float.
struct Numbers {
    Writer& w;
    bool single;
    template <std::size_t N>
    void member(const char (&name)[N], double v) {
        w.key(name);
        if (single) {
            w.value(static_cast<float>(v));
        } else {
            w.value(v);
        }
    }
    template <std::size_t N>
    void member(const char (&name)[N], const std::optional<double>& v) {
        if (v) {
            member(name, *v);
        } else {
            w.member(name, v);
        }
    }
};

// A time as H:MM, or H:MM:SS when it has seconds.
std::string clock_time(std::int64_t seconds) {
    std::string text = std::to_string(seconds / 3600) + ":";
    const std::int64_t minutes = seconds / 60 % 60;
    text += (minutes < 10 ? "0" : "") + std::to_string(minutes);
    if (const std::int64_t rest = seconds % 60; rest != 0)
        text += (rest < 10 ? ":0" : ":") + std::to_string(rest);
    return text;
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
    Numbers number{w, result.arithmetic == Arithmetic::programs};
    w.open('{');
    w.member("file", std::string_view(result.file));
    w.member("program", std::string_view(result.inp                          ? "inp"
                                         : result.program == Program::lamnet ? "lamnet"
                                                                             : "turbnet"));
    if (result.inp) w.member("time", std::string_view(clock_time(result.time)));
    w.member("arithmetic",
             std::string_view(result.arithmetic == Arithmetic::programs ? "programs" : "double"));
    w.member("outcome", std::string_view(verdict_name(result.verdict)));
    if (!result.law.empty()) w.member("law", std::string_view(result.law));
    w.key("nodes");
    w.open('[');
    for (const NodeResult& n : result.nodes) {
        w.open('{');
        w.member("node", n.node);
        number.member("x", n.x);
        number.member("y", n.y);
        number.member("head", n.head);
        number.member("discharge", n.discharge);
        number.member("known_head", n.known_head);
        number.member("known_discharge", n.known_discharge);
        w.member("balance_error", n.balance_error);
        w.member("elevation", n.elevation);
        w.member("pressure", n.pressure);
        if (result.labelled) w.member("id", n.id);
        w.close('}');
    }
    w.close(']');
    w.key("pipes");
    w.open('[');
    for (const PipeResult& p : result.pipes) {
        w.open('{');
        w.member("pipe", p.pipe);
        w.member("start", p.start);
        w.member("end", p.end);
        number.member("diameter", p.diameter);
        number.member("length", p.length);
        number.member("discharge", p.discharge);
        number.member("head_loss", p.head_loss);
        number.member("velocity", p.velocity);
        if (result.labelled) {
            w.member("id", p.id);
            w.member("start_id", p.start_id);
            w.member("end_id", p.end_id);
        }
        if (p.kind) w.member("kind", std::string_view(*p.kind));
        if (p.state) w.member("state", std::string_view(*p.state));
        if (p.head_gain) w.member("head_gain", p.head_gain);
        w.close('}');
    }
    w.close(']');
    w.key("passes");
    w.open('[');
    for (const PassResult& p : result.passes) {
        w.open('{');
        w.member("pass", p.pass);
        number.member("relative_residual", p.relative_residual);
        if (p.max_imbalance) w.member("max_imbalance", p.max_imbalance);
        if (p.max_head_change) w.member("max_head_change", p.max_head_change);
        w.close('}');
    }
    w.close(']');
    w.member("max_balance_error", result.max_balance_error);
    w.key("messages");
    w.open('[');
    for (const Message& m : result.messages) {
        w.open('{');
        w.member("severity", std::string_view(m.severity));
        w.member("code", std::string_view(m.code));
        w.member("text", std::string_view(m.text));
        w.close('}');
    }
    w.close(']');
    w.close('}');
    w.end_line();
}

} // namespace pipenet::solve
