#pragma once

// Shared set-up of the editor tests: the common window base, with the window
// shown and active on the offscreen platform.

#include "common/WindowTestBase.h"

struct EditorFixture : WindowTestBase {
    void Open()
    {
        StartWindow();
        ShowWindow();
    }

    void Close() { EndWindow(); }
};
