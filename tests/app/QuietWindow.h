#pragma once

// The main window with no MIDI service (its port lists hold only "None"), shown.
#include "TForm1.h"
#include "WindowControls.h"

#include <QTest>
#include <gtest/gtest.h>

struct QuietWindow {
    TForm1 form{vkv::backendapi::Backend::None};
    Ui::TForm1 &ui = *form.ui;
    QuietWindow() {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
};
