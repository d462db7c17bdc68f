// Draws the state of an in-memory designer window as an SVG picture: every
// visible step picture as the flow-chart shape of its type with its caption,
// and every visible link as the designer routed it, with its arrow barbs,
// its end dot and its caption. Window units (twips, 15 to a pixel) are
// scaled down to pixels.
//
// The picture holds one <g class="step"> per step and one
// <path class="link"> per link, so that tools (and tests) can count them.
#pragma once

#include <string>

namespace veldrane {
class MemoryWindow;
}

namespace veldrane::cli {

// The SVG document for the window's visible controls; `title` becomes the
// picture's <title>.
std::string RenderSvg(const MemoryWindow& window, const std::string& title);

// Text made safe for XML character data and attribute values.
std::string XmlEscape(const std::string& text);

}  // namespace veldrane::cli
