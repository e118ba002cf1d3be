#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace vkv::box {

// The emulated box's LCD: four 16-character text lines, the one source of what either
// presentation shows, with the display mode and the choice of the visible presentation (the plain
// panel, or the backlit dot-matrix control). Lines are written only through WriteLCDLine. A screen
// of the program's own (a recall's) may show over the box's screens for a while: the box's writes
// go on underneath it and show again once it ends.
class LcdScreens {
public:
    static constexpr int Lines = 4;
    static constexpr int Columns = 16;
    static constexpr int BufferSize = Columns + 1; // the least a caller's buffer may hold
    static constexpr int HighestDisplayMode = 3;

    // Pads `text` with spaces to 16 characters (everything after an early NUL becomes a space),
    // cuts it after 16, stores it as line `line` when that is 0..3, and refreshes the visible
    // presentation in every case (at the end of a batch). `text` must hold at least 17
    // characters; it is changed.
    void WriteLCDLine(unsigned char line, char *text);
    // Convenience for callers holding a string: formats through a local 17+ character buffer.
    void WriteLCDLine(unsigned char line, const std::string &text);
    // Writes made while a Batch lives refresh the presentation once, as the batch ends: a screen
    // of four lines is shown in one go, however fast screens follow one another.
    class Batch {
    public:
        explicit Batch(LcdScreens &screens) : screens(screens) { ++screens.batchDepth; }
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        LcdScreens &screens;
    };

    // Writes lines 0..3 in that order, as one batch.
    void showScreen(const std::string &l0, const std::string &l1, const std::string &l2,
                    const std::string &l3);

    // What shows: the program's own screen while it shows, else the box's lines.
    const std::string &line(int n) const { return (own ? *own : lines).at(n); }
    // Lines 0..3 joined with no separator: the dot-matrix presentation's caption.
    std::string joined() const;

    // Shows four lines (each padded and cut as WriteLCDLine does) over the box's screens until
    // endOwnScreen(); another own screen replaces it.
    void showOwnScreen(const std::string &l0, const std::string &l1, const std::string &l2,
                       const std::string &l3);
    // The box's lines show again, as they were last written.
    void endOwnScreen();
    bool ownScreenShown() const { return own.has_value(); }
    // Empties the four lines without showing it; the next screen written replaces them.
    void clear();

    // 0: plain panel, pot redraw screen; 1: dot matrix, pot redraw screen; 2: dot matrix, bar
    // graph; 3: dot matrix, a placeholder screen. Survives rebuilds of the box.
    int DisplayMode = 1;
    bool dotMatrixShown() const { return dotMatrix; }
    // Makes the dot-matrix control (or the plain panel) the visible presentation and refreshes.
    void showDotMatrix(bool shown);

    // Called after every write and every change of presentation, so the visible presentation
    // shows the lines.
    std::function<void()> refresh;

private:
    void refreshNowOrLater();

    std::array<std::string, Lines> lines{};
    std::optional<std::array<std::string, Lines>> own;
    bool dotMatrix = false; // the plain panel is visible at start
    int batchDepth = 0;
    bool refreshPending = false;
};

} // namespace vkv::box
