#include <array>
#include <cmath>
#include <cstdio>

#include "plot/render.hpp"

namespace pipenet::plot {

namespace {

std::string cell(double value) {
    if (std::isnan(value)) return "<td>NaN</td>";
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "<td>%.7g</td>", value);
    return text.data();
}

std::string cell(const std::optional<float>& value) {
    return value ? cell(double{*value}) : std::string("<td></td>");
}

// Hovering a shape or a row marks every element of the same node or pipe.
constexpr const char* highlight_script = R"(<script>
document.addEventListener('mouseover', function (event) {
  document.querySelectorAll('.highlight').forEach(function (e) { e.classList.remove('highlight'); });
  var item = event.target.closest('[data-node],[data-pipe]');
  if (!item) return;
  var key = item.hasAttribute('data-node') ? '[data-node="' + item.getAttribute('data-node') + '"]'
                                           : '[data-pipe="' + item.getAttribute('data-pipe') + '"]';
  document.querySelectorAll(key).forEach(function (e) { e.classList.add('highlight'); });
});
</script>
)";

} // namespace

std::string render_html(const PlotNetwork& network, const RenderSettings& settings) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<title>" +
                      escape_markup(network.file) +
                      "</title>\n<style>\nbody{margin:0;font:13px sans-serif;background:#fff}\n"
                      "svg.network{display:block}\n"
                      "section{margin:16px 40px}\n"
                      "table{border-collapse:collapse}\n"
                      "td,th{border:1px solid #bdbdbd;padding:2px 8px;text-align:right}\n"
                      "tr.highlight{background:#f8bbd0}\n</style>\n</head>\n<body>\n";
    out += render_svg(network, settings);
    out += "<section>\n<h2>Nodes</h2>\n<table class=\"nodes\">\n<tr><th>node</th><th>x</th>"
           "<th>y</th><th>head</th><th>known head</th><th>known discharge</th></tr>\n";
    for (const PlotNode& node : network.nodes) {
        out += "<tr data-node=\"" + std::to_string(node.node) + "\"><td>" +
               std::to_string(node.node) + "</td>" + cell(node.x) + cell(node.y) + cell(node.head) +
               cell(node.known_head) +
               (node.known_discharge != 0.0f ? cell(double{node.known_discharge})
                                             : std::string("<td></td>")) +
               "</tr>\n";
    }
    out += "</table>\n<h2>Pipes</h2>\n<table class=\"pipes\">\n<tr><th>pipe</th><th>start</th>"
           "<th>end</th><th>length</th><th>diameter</th><th>discharge</th><th>velocity</th>"
           "</tr>\n";
    for (const PlotPipe& pipe : network.pipes) {
        out += "<tr data-pipe=\"" + std::to_string(pipe.pipe) + "\"><td>" +
               std::to_string(pipe.pipe) + "</td><td>" + std::to_string(pipe.start) + "</td><td>" +
               std::to_string(pipe.end) + "</td>" + cell(pipe.length) + cell(pipe.diameter) +
               cell(pipe.discharge) + cell(pipe.velocity) + "</tr>\n";
    }
    out += "</table>\n</section>\n";
    out += highlight_script;
    out += "</body>\n</html>\n";
    return out;
}

} // namespace pipenet::plot
