#pragma once
// The window as the harvesting commands find it: shown and active, every
// option chosen (no automatic widening, all text, colour everything) and the
// auto-save of the items list on.

#include "support/window_fixture.h"

namespace jl::test {

class HarvestWindowTest : public WindowTest {
protected:
    void SetUp() override {
        openActive();
        setOptions(/*expand=*/3, /*filter=*/2, /*colour=*/3);
        control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->setChecked(true);
    }
};

} // namespace jl::test
