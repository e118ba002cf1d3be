#include "LcdScreens.h"

#include <algorithm>
#include <vector>

namespace vkv::box {

namespace {

// `text` padded with spaces to 16 characters (everything after an early NUL a space) and cut there.
void pad(char *text) {
    bool ended = false;
    for (int i = 0; i < LcdScreens::Columns; ++i) {
        if (text[i] == '\0')
            ended = true;
        if (ended)
            text[i] = ' ';
    }
    text[LcdScreens::Columns] = '\0';
}

std::string padded(const std::string &text) {
    std::vector<char> buffer(std::max<std::size_t>(text.size() + 1, LcdScreens::BufferSize), '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    pad(buffer.data());
    return {buffer.data(), LcdScreens::Columns};
}

} // namespace

void LcdScreens::WriteLCDLine(unsigned char line, char *text) {
    pad(text);
    if (line < Lines)
        lines[line].assign(text, Columns);
    refreshNowOrLater();
}

void LcdScreens::refreshNowOrLater() {
    if (batchDepth > 0)
        refreshPending = true;
    else if (refresh)
        refresh();
}

LcdScreens::Batch::~Batch() {
    if (--screens.batchDepth > 0 || !screens.refreshPending)
        return;
    screens.refreshPending = false;
    if (screens.refresh)
        screens.refresh();
}

void LcdScreens::WriteLCDLine(unsigned char line, const std::string &text) {
    if (line < Lines)
        lines[line] = padded(text);
    refreshNowOrLater();
}

void LcdScreens::showScreen(const std::string &l0, const std::string &l1, const std::string &l2,
                            const std::string &l3) {
    const Batch batch(*this);
    WriteLCDLine(0, l0);
    WriteLCDLine(1, l1);
    WriteLCDLine(2, l2);
    WriteLCDLine(3, l3);
}

std::string LcdScreens::joined() const {
    return line(0) + line(1) + line(2) + line(3);
}

void LcdScreens::showOwnScreen(const std::string &l0, const std::string &l1, const std::string &l2,
                               const std::string &l3) {
    own = std::array<std::string, Lines>{padded(l0), padded(l1), padded(l2), padded(l3)};
    refreshNowOrLater();
}

void LcdScreens::endOwnScreen() {
    if (!own)
        return;
    own.reset();
    refreshNowOrLater();
}

void LcdScreens::clear() {
    for (auto &l : lines)
        l.clear();
}

void LcdScreens::showDotMatrix(bool shown) {
    dotMatrix = shown;
    refreshNowOrLater();
}

} // namespace vkv::box
