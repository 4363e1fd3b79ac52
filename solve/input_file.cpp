#include "solve/input_file.hpp"

#include "model/read_inp.hpp"

namespace pipenet::solve {

namespace {

std::string_view base_name(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::optional<Program> program_of_file(std::string_view program, std::string_view path) {
    if (program == "lamnet") return Program::lamnet;
    if (program == "turbnet") return Program::turbnet;
    std::string_view name = base_name(path);
    if (name == input_file_name(Program::lamnet)) return Program::lamnet;
    if (name == input_file_name(Program::turbnet)) return Program::turbnet;
    return std::nullopt;
}

std::optional<Program> program_of_file(std::string_view program, std::string_view path,
                                       std::string_view text) {
    if (std::optional<Program> named = program_of_file(program, path)) return named;
    return program_from_text(text);
}

bool is_inp(std::string_view path, std::string_view text) {
    if (path.size() >= 4) {
        std::string end(path.substr(path.size() - 4));
        for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (end == ".inp") return true;
    }
    return model::looks_like_inp(text);
}

std::string records_file_refusal(const std::optional<Program>& program, std::string_view path) {
    if (is_inp(path)) return std::string(inp_for_records_reason);
    if (!program)
        return "cannot tell which program's file this is: name it input-lin.dat or "
               "input-nonlin.dat, or give --program";
    return {};
}

} // namespace pipenet::solve
