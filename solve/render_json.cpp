#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

#include "solve/render.hpp"

namespace pipenet::solve {

std::string float_text(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    std::array<char, 32> text{};
    auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
    return {text.data(), end};
}

namespace {

// The document is put together here so that every number is written as the shortest decimal of
// its own type: a float as std::to_chars writes a float (a general-purpose JSON writer would
// print the float's double, often with more digits). A reader that takes the number as a double
// and rounds it to float gets the float back, as the shortest text of a float lies strictly
// within half a float step of it. Strings go through the JSON library for their escapes.
class Writer {
public:
    void key(std::string_view name) {
        separate();
        text_ += '"';
        text_ += name;
        text_ += "\":";
        fresh_ = true;
    }
    void open(char bracket) {
        separate();
        text_ += bracket;
        fresh_ = true;
    }
    void close(char bracket) {
        text_ += bracket;
        fresh_ = false;
    }
    void value(std::int32_t number) {
        separate();
        text_ += std::to_string(number);
    }
    void value(float number) {
        separate();
        text_ += std::isfinite(number) ? float_text(number) : "null";
    }
    void value(double number) {
        separate();
        if (!std::isfinite(number)) {
            text_ += "null";
            return;
        }
        std::array<char, 32> digits{};
        text_.append(digits.data(),
                     std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr);
    }
    template <class T>
    void value(const std::optional<T>& number) {
        if (number) {
            value(*number);
        } else {
            separate();
            text_ += "null";
        }
    }
    void value(std::string_view string) {
        separate();
        // File names need not be UTF-8: bytes that are not are replaced, never a failure.
        text_ += nlohmann::json(std::string(string))
                     .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    template <class T>
    void member(std::string_view name, const T& v) {
        key(name);
        value(v);
    }
    std::string take() { return std::move(text_); }

private:
    void separate() {
        if (!fresh_) text_ += ',';
        fresh_ = false;
    }
    std::string text_;
    bool fresh_ = true;
};

} // namespace

namespace {

// A value of the programs' arithmetic is a float widened, written back as that float.
struct Numbers {
    Writer& w;
    bool single;
    void member(std::string_view name, double v) {
        w.key(name);
        if (single) {
            w.value(static_cast<float>(v));
        } else {
            w.value(v);
        }
    }
    void member(std::string_view name, const std::optional<double>& v) {
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
    Writer w;
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
    return w.take() + '\n';
}

} // namespace pipenet::solve
