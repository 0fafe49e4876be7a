// Finding text in the message view: Ctrl+F opens the find bar, F3 and
// Shift+F3 select the next and the previous match (view/widgets/find_bar.h).

#include "app/widgets/main_form.h"

#include "view/widgets/find_bar.h"

namespace jl {

void TMainForm1::openFindBar() {
    m_findBar->open();
}

void TMainForm1::findNext() {
    m_findBar->findNext();
}

void TMainForm1::findPrevious() {
    m_findBar->findPrevious();
}

} // namespace jl
