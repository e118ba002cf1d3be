#pragma once

#include <array>
#include <functional>
#include <string>

// The emulated box's four 16-character LCD text lines: the one source of what either LCD
// presentation shows. Lines are written only through WriteLCDLine.
class LcdScreens {
public:
    static constexpr int Lines = 4;
    static constexpr int Columns = 16;
    static constexpr int BufferSize = Columns + 1; // the least a caller's buffer may hold

    // Pads `text` with spaces to 16 characters (everything after an early NUL becomes a space),
    // cuts it after 16, stores it as line `line` when that is 0..3, and refreshes the visible
    // presentation in every case. `text` must hold at least 17 characters; it is changed.
    void WriteLCDLine(unsigned char line, char *text);
    // Convenience for callers holding a string: formats through a local 17+ character buffer.
    void WriteLCDLine(unsigned char line, const std::string &text);
    // Writes lines 0..3 in that order.
    void showScreen(const std::string &l0, const std::string &l1, const std::string &l2,
                    const std::string &l3);

    const std::string &line(int n) const { return lines.at(n); }
    // Lines 0..3 joined with no separator: the dot-matrix presentation's caption.
    std::string joined() const;
    void clear();

    // Called after every write, so the visible presentation shows the lines.
    std::function<void()> refresh;

private:
    std::array<std::string, Lines> lines{};
};
