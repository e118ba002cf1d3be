#include "LcdScreens.h"

#include <algorithm>
#include <vector>

namespace vkv::box {

void LcdScreens::WriteLCDLine(unsigned char line, char *text) {
    bool ended = false;
    for (int i = 0; i < Columns; ++i) {
        if (text[i] == '\0')
            ended = true;
        if (ended)
            text[i] = ' ';
    }
    text[Columns] = '\0';
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
    std::vector<char> buffer(std::max<std::size_t>(text.size() + 1, BufferSize), '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    WriteLCDLine(line, buffer.data());
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
    return lines[0] + lines[1] + lines[2] + lines[3];
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
