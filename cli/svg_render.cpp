#include "cli/svg_render.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "core/text.h"
#include "model/memory_window.h"

namespace veldrane::cli {

namespace {

constexpr double kTwipsPerPixel = 15;
constexpr double kMargin = 12;  // pixels around the drawing

struct Bounds {
  double left = std::numeric_limits<double>::max(), top = std::numeric_limits<double>::max();
  double right = std::numeric_limits<double>::lowest(), bottom = std::numeric_limits<double>::lowest();
  void Add(double x, double y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
  bool empty() const { return left > right; }
};

std::string Num(double twips) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", twips / kTwipsPerPixel);
  return buffer;
}

// The outline of a step of the given picture, in the box x, y, w, h (twips).
std::string StepShape(const std::string& picture, double x, double y, double w, double h) {
  const std::string kStyle = " fill='#eef4fb' stroke='#2d5986' stroke-width='1.5'";
  auto px = [](double v) { return Num(v); };
  std::string kind = ToLowerAscii(picture);
  if (kind == "start" || kind == "stop") {
    return "<rect x='" + px(x) + "' y='" + px(y) + "' width='" + px(w) + "' height='" + px(h) + "' rx='" +
           px(h / 2) + "'" + kStyle + "/>";
  }
  if (kind == "decission") {
    return "<polygon points='" + px(x + w / 2) + "," + px(y) + " " + px(x + w) + "," + px(y + h / 2) + " " +
           px(x + w / 2) + "," + px(y + h) + " " + px(x) + "," + px(y + h / 2) + "'" + kStyle + "/>";
  }
  if (kind == "data") {
    double slant = w / 6;
    return "<polygon points='" + px(x + slant) + "," + px(y) + " " + px(x + w) + "," + px(y) + " " +
           px(x + w - slant) + "," + px(y + h) + " " + px(x) + "," + px(y + h) + "'" + kStyle + "/>";
  }
  if (kind == "storage") {
    double ry = h / 8;
    std::string body = "M " + px(x) + " " + px(y + ry) + " A " + px(w / 2) + " " + px(ry) + " 0 0 1 " + px(x + w) +
                       " " + px(y + ry) + " L " + px(x + w) + " " + px(y + h - ry) + " A " + px(w / 2) + " " +
                       px(ry) + " 0 0 1 " + px(x) + " " + px(y + h - ry) + " Z";
    std::string rim = "M " + px(x) + " " + px(y + ry) + " A " + px(w / 2) + " " + px(ry) + " 0 0 0 " + px(x + w) +
                      " " + px(y + ry);
    return "<path d='" + body + "'" + kStyle + "/><path d='" + rim + "' fill='none' stroke='#2d5986' stroke-width='1.5'/>";
  }
  if (kind == "document") {
    double wave = h / 8;
    std::string d = "M " + px(x) + " " + px(y) + " L " + px(x + w) + " " + px(y) + " L " + px(x + w) + " " +
                    px(y + h - wave) + " Q " + px(x + w * 0.75) + " " + px(y + h - 3 * wave) + " " + px(x + w / 2) +
                    " " + px(y + h - wave) + " T " + px(x) + " " + px(y + h - wave) + " Z";
    return "<path d='" + d + "'" + kStyle + "/>";
  }
  if (kind == "point") {
    double r = std::min(w, h) / 4;
    return "<circle cx='" + px(x + w / 2) + "' cy='" + px(y + h / 2) + "' r='" + px(r) + "'" + kStyle + "/>";
  }
  std::string box = "<rect x='" + px(x) + "' y='" + px(y) + "' width='" + px(w) + "' height='" + px(h) + "'" + kStyle + "/>";
  if (kind == "processpredef") {
    double inset = w / 10;
    box += "<path d='M " + px(x + inset) + " " + px(y) + " L " + px(x + inset) + " " + px(y + h) + " M " +
           px(x + w - inset) + " " + px(y) + " L " + px(x + w - inset) + " " + px(y + h) +
           "' fill='none' stroke='#2d5986' stroke-width='1.5'/>";
  } else if (kind == "window") {
    box += "<rect x='" + px(x) + "' y='" + px(y) + "' width='" + px(w) + "' height='" + px(h / 6) +
           "' fill='#2d5986'/>";
  }
  return box;
}

std::string Text(double cx, double cy, const std::string& text, const char* cls) {
  return "<text class='" + std::string(cls) + "' x='" + Num(cx) + "' y='" + Num(cy) +
         "' text-anchor='middle' dominant-baseline='middle'>" + XmlEscape(text) + "</text>";
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          out += ' ';
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string RenderSvg(const MemoryWindow& window, const std::string& title) {
  Bounds bounds;
  std::string steps, links;
  int step_count = 0, link_count = 0;

  for (int16_t n : window.Indexes("shp")) {
    auto picture = window.Element("shp", n);
    if (n == 0 || !picture || !picture->Visible()) continue;
    double x = picture->Left(), y = picture->Top(), w = picture->Width(), h = picture->Height();
    bounds.Add(x, y);
    bounds.Add(x + w, y + h);
    std::string kind = picture->Picture();
    steps += "<g class='step' id='step" + std::to_string(n) + "' data-type='" + XmlEscape(kind) + "'>";
    steps += StepShape(kind, x, y, w, h);
    if (auto label = window.Element("lblShapeCap", n); label && label->Visible() && !label->Caption().empty()) {
      steps += Text(label->Left() + label->Width() / 2, label->Top() + label->Height() / 2, label->Caption(), "caption");
      bounds.Add(label->Left(), label->Top());
      bounds.Add(label->Left() + label->Width(), label->Top() + label->Height());
    }
    steps += "</g>\n";
    ++step_count;
  }

  for (int16_t n : window.Indexes("ln")) {
    auto line = window.Element("ln", n);
    if (n == 0 || !line || !line->Visible()) continue;
    bounds.Add(line->x1(), line->y1());
    bounds.Add(line->x2(), line->y2());
    std::string d = "M " + Num(line->x1()) + " " + Num(line->y1()) + " L " + Num(line->x2()) + " " + Num(line->y2());
    for (const char* barb : {"arrUp", "arrDown"}) {
      auto b = window.Element(barb, n);
      if (b && b->Visible()) d += " M " + Num(b->x1()) + " " + Num(b->y1()) + " L " + Num(b->x2()) + " " + Num(b->y2());
    }
    links += "<g class='link-group' id='link" + std::to_string(n) + "'>";
    links += "<path class='link' d='" + d + "' fill='none' stroke='#333' stroke-width='1.2'/>";
    if (auto dot = window.Element("aDot", n); dot && dot->Visible()) {
      links += "<circle class='end' cx='" + Num(dot->Left() + dot->Width() / 2) + "' cy='" +
               Num(dot->Top() + dot->Height() / 2) + "' r='" + Num(dot->Width() / 2) + "' fill='#333'/>";
    }
    if (auto label = window.Element("lblLineCap", n); label && label->Visible() && !label->Caption().empty()) {
      links += Text(label->Left() + label->Width() / 2, label->Top() + label->Height() / 2, label->Caption(),
                    "link-caption");
      bounds.Add(label->Left(), label->Top());
      bounds.Add(label->Left() + label->Width(), label->Top() + label->Height());
    }
    links += "</g>\n";
    ++link_count;
  }

  if (bounds.empty()) bounds.Add(0, 0);
  double margin = kMargin * kTwipsPerPixel;
  double left = bounds.left - margin, top = bounds.top - margin;
  double width = bounds.right - bounds.left + 2 * margin, height = bounds.bottom - bounds.top + 2 * margin;
  std::string svg = "<?xml version='1.0' encoding='UTF-8'?>\n";
  svg += "<svg xmlns='http://www.w3.org/2000/svg' width='" + Num(width) + "' height='" + Num(height) +
         "' viewBox='" + Num(left) + " " + Num(top) + " " + Num(width) + " " + Num(height) + "'>\n";
  svg += "<title>" + XmlEscape(title) + "</title>\n";
  svg += "<desc>" + std::to_string(step_count) + " steps, " + std::to_string(link_count) + " links</desc>\n";
  svg += "<style>text{font-family:sans-serif;font-size:11px;fill:#111}.link-caption{font-size:10px;fill:#555}</style>\n";
  svg += "<rect x='" + Num(left) + "' y='" + Num(top) + "' width='" + Num(width) + "' height='" + Num(height) +
         "' fill='white'/>\n";
  // Links under the steps, as the designer draws them.
  svg += links + steps + "</svg>\n";
  return svg;
}

}  // namespace veldrane::cli
