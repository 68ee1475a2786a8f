#include "cli/chartSvg.h"

#include <algorithm>
#include <charconv>

namespace {

// The shortest text that reads back as the number, whatever the locale.
std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

std::string chartSvg(int cols, int rows, double squareMm) {
    const double margin = 15.0;  // room for the caption and for the finder's light border
    const double width = std::max(2 * margin + (cols + 1) * squareMm, 100.0);
    const double height = 2 * margin + (rows + 1) * squareMm;
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        number(width) + "mm\" height=\"" + number(height) + "mm\" viewBox=\"0 0 " + number(width) +
        " " + number(height) + "\">\n<rect width=\"" + number(width) + "\" height=\"" +
        number(height) + "\" fill=\"white\"/>\n";
    for (int j = 0; j <= rows; ++j) {
        for (int i = (j % 2); i <= cols; i += 2) {
            svg += "<rect x=\"" + number(margin + i * squareMm) + "\" y=\"" +
                   number(margin + j * squareMm) + "\" width=\"" + number(squareMm) +
                   "\" height=\"" + number(squareMm) + "\" fill=\"black\"/>\n";
        }
    }
    svg += "<text x=\"" + number(margin) + "\" y=\"" + number(height - margin / 2) +
           "\" font-family=\"sans-serif\" font-size=\"4\">" + std::to_string(cols) + " x " +
           std::to_string(rows) + " inner corners, squares " + number(squareMm) +
           " mm: print at 100 %</text>\n</svg>\n";
    return svg;
}
