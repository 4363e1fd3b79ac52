#include <array>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "plot/legend_values.hpp"
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

// The unit of a valve's setting: a pressure or a head drop in metres of water, a discharge, or
// a loss coefficient (none).
const char* setting_unit(const std::string& type) {
    if (type == "fcv") return "m\xc2\xb3/s";
    if (type == "tcv") return "";
    return "m";
}

// Each node's and pipe's values for the hover card, as rows of a name and a value with its
// unit; lamnet's values are in the input's own units.
nlohmann::json card_data(const PlotNetwork& network) {
    const bool metres = network.inp || network.program == Program::turbnet;
    const auto value = [&](double v, const char* unit) {
        std::string text = six_digits(v);
        if (metres && *unit != '\0') text += std::string(" ") + unit;
        return text;
    };
    const auto node_name = [&](std::int32_t k) {
        const PlotNode& node = network.nodes[static_cast<std::size_t>(k - 1)];
        return node.id ? *node.id + " (" + std::to_string(k) + ")" : std::to_string(k);
    };
    nlohmann::json nodes = nlohmann::json::object();
    for (const PlotNode& node : network.nodes) {
        nlohmann::json rows = nlohmann::json::array();
        rows.push_back({"node", std::to_string(node.node)});
        if (node.id) rows.push_back({"ID", *node.id});
        if (node.head) rows.push_back({"head", value(*node.head, "m")});
        if (node.known_head) rows.push_back({"known head", value(*node.known_head, "m")});
        if (node.elevation) rows.push_back({"elevation", value(*node.elevation, "m")});
        if (node.pressure) rows.push_back({"pressure", value(*node.pressure, "m")});
        if (node.known_discharge < 0.0f)
            rows.push_back({"demand", value(-double{node.known_discharge}, "m\xc2\xb3/s")});
        if (node.known_discharge > 0.0f)
            rows.push_back({"inflow", value(node.known_discharge, "m\xc2\xb3/s")});
        if (!metres) rows.push_back({"units", "the input's"});
        nodes[std::to_string(node.node)] = rows;
    }
    nlohmann::json pipes = nlohmann::json::object();
    for (const PlotPipe& pipe : network.pipes) {
        nlohmann::json rows = nlohmann::json::array();
        rows.push_back({pipe.pump    ? "pump"
                        : pipe.valve ? "valve"
                                     : "pipe",
                        std::to_string(pipe.pipe)});
        if (pipe.id) rows.push_back({"ID", *pipe.id});
        if (pipe.valve) rows.push_back({"type", *pipe.valve});
        if (pipe.check_valve) rows.push_back({"check valve", "from its start to its end only"});
        rows.push_back({"from", node_name(pipe.start)});
        rows.push_back({"to", node_name(pipe.end)});
        if (pipe.state) rows.push_back({"state", *pipe.state});
        if (pipe.setting)
            rows.push_back({"setting", value(*pipe.setting, setting_unit(*pipe.valve))});
        if (pipe.valve) rows.push_back({"diameter", value(pipe.diameter, "m")});
        if (!pipe.pump && !pipe.valve) {
            rows.push_back({"length", value(pipe.length, "m")});
            rows.push_back({"diameter", value(pipe.diameter, "m")});
            if (pipe.roughness) rows.push_back({"roughness (C)", value(*pipe.roughness, "")});
        }
        if (pipe.discharge) rows.push_back({"discharge", value(*pipe.discharge, "m\xc2\xb3/s")});
        if (pipe.velocity && !pipe.pump) rows.push_back({"velocity", value(*pipe.velocity, "m/s")});
        if (pipe.head_loss && pipe.pump)
            rows.push_back({"head gain", value(-*pipe.head_loss, "m")});
        if (pipe.head_loss && !pipe.pump)
            rows.push_back({"head loss", value(*pipe.head_loss, "m")});
        if (!metres) rows.push_back({"units", "the input's"});
        pipes[std::to_string(pipe.pipe)] = rows;
    }
    return {{"nodes", nodes}, {"pipes", pipes}};
}

// JSON inside a script element: no "<" that could end the element.
std::string script_json(const nlohmann::json& data) {
    const std::string text = data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) safe += c == '<' ? std::string("\\u003c") : std::string(1, c);
    return safe;
}

// Zoom (wheel, buttons) and pan (drag) of the drawing; hovering a shape or a row marks every
// element of the same node or pipe, and a shape shows its card.
constexpr const char* page_script = R"(<script>
(function () {
  var svg = document.querySelector('svg.network');
  var drawing = svg.querySelector('g.drawing');
  var card = document.getElementById('card');
  var data = JSON.parse(document.getElementById('plot-data').textContent);
  var view = { scale: 1, x: 0, y: 0 };
  function show() {
    drawing.setAttribute('transform', 'translate(' + view.x + ' ' + view.y + ') scale(' + view.scale + ')');
  }
  // From the page's pixels to the picture's units.
  function at(event) {
    var box = svg.getBoundingClientRect();
    var per = svg.viewBox.baseVal.width / box.width;
    return { x: (event.clientX - box.left) * per, y: (event.clientY - box.top) * per, per: per };
  }
  // The point of the picture at p stays where it is.
  function zoom(p, factor) {
    var scale = Math.min(Math.max(view.scale * factor, 0.25), 64);
    view.x = p.x - (p.x - view.x) * scale / view.scale;
    view.y = p.y - (p.y - view.y) * scale / view.scale;
    view.scale = scale;
    show();
  }
  svg.addEventListener('wheel', function (event) {
    var p = at(event);
    if (p.y > 720) return;
    event.preventDefault();
    zoom(p, event.deltaY < 0 ? 1.25 : 0.8);
  }, { passive: false });
  document.querySelectorAll('.zoom button').forEach(function (button) {
    button.addEventListener('click', function () {
      var how = button.getAttribute('data-zoom');
      if (how === 'reset') { view = { scale: 1, x: 0, y: 0 }; show(); return; }
      zoom({ x: 390, y: 360 }, how === 'in' ? 1.25 : 0.8);
    });
  });
  var drag = null;
  svg.addEventListener('mousedown', function (event) {
    if (event.button !== 0) return;
    var p = at(event);
    drag = { x: p.x - view.x, y: p.y - view.y };
    svg.classList.add('dragging');
    event.preventDefault();
  });
  window.addEventListener('mousemove', function (event) {
    if (!drag) return;
    var p = at(event);
    view.x = p.x - drag.x;
    view.y = p.y - drag.y;
    show();
  });
  window.addEventListener('mouseup', function () { drag = null; svg.classList.remove('dragging'); });
  function fill(rows) {
    var table = card.querySelector('table');
    while (table.firstChild) table.removeChild(table.firstChild);
    rows.forEach(function (row) {
      var tr = document.createElement('tr');
      row.forEach(function (text, i) {
        var cell = document.createElement(i === 0 ? 'th' : 'td');
        cell.textContent = text;
        tr.appendChild(cell);
      });
      table.appendChild(tr);
    });
  }
  document.addEventListener('mouseover', function (event) {
    document.querySelectorAll('.highlight').forEach(function (e) { e.classList.remove('highlight'); });
    var item = event.target.closest('[data-node],[data-pipe]');
    if (!item) { card.hidden = true; return; }
    var node = item.hasAttribute('data-node');
    var number = item.getAttribute(node ? 'data-node' : 'data-pipe');
    var key = node ? '[data-node="' + number + '"]' : '[data-pipe="' + number + '"]';
    document.querySelectorAll(key).forEach(function (e) { e.classList.add('highlight'); });
    var rows = (node ? data.nodes : data.pipes)[number];
    if (!rows || !item.closest('svg')) { card.hidden = true; return; }
    fill(rows);
    card.style.left = (event.pageX + 16) + 'px';
    card.style.top = (event.pageY + 16) + 'px';
    card.hidden = false;
  });
})();
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
                      "tr.highlight{background:#f8bbd0}\n"
                      // Over the picture's top right corner, where nothing is drawn: the picture
                      // keeps its place at the page's top left.
                      ".zoom{position:absolute;left:850px;top:40px;display:flex;gap:4px}\n"
                      ".zoom button{font:13px sans-serif;min-width:28px}\n"
                      "svg.network .drawing{cursor:grab}svg.dragging .drawing{cursor:grabbing}\n"
                      "#card{position:absolute;background:#fff;border:1px solid #4d4d4d;"
                      "box-shadow:2px 2px 6px rgba(0,0,0,.3);padding:4px;pointer-events:none}\n"
                      "#card td,#card th{border:none;padding:1px 6px}#card th{text-align:left;"
                      "font-weight:normal;color:#555}\n</style>\n</head>\n<body>\n";
    out +=
        "<div class=\"zoom\"><button type=\"button\" data-zoom=\"in\" title=\"zoom in\">+</button>"
        "<button type=\"button\" data-zoom=\"out\" title=\"zoom out\">\xe2\x88\x92</button>"
        "<button type=\"button\" data-zoom=\"reset\" title=\"the whole network\">reset</button>"
        "</div>\n";
    out += render_svg(network, settings);
    out += "<div id=\"card\" hidden><table></table></div>\n";
    out += "<section>\n<p class=\"hint\">Wheel or + and \xe2\x88\x92: zoom. Drag: pan. The pointer "
           "on a node or a pipe: all its values.</p>\n<h2>Nodes</h2>\n<table "
           "class=\"nodes\">\n<tr><th>node</th><th>x</th>"
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
    out += "<script type=\"application/json\" id=\"plot-data\">" + script_json(card_data(network)) +
           "</script>\n";
    out += page_script;
    out += "</body>\n</html>\n";
    return out;
}

} // namespace pipenet::plot
