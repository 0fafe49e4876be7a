// The scan for the next file that holds none of the interesting items
// (Workspace::scan decides where it stops; the window shows that file).

#include "app/widgets/main_form.h"

namespace jl {

void TMainForm1::BitBtn1Click() {
    m_workspace->scan();
}

} // namespace jl
