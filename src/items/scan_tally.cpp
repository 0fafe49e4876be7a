#include "items/scan_tally.h"

#include <algorithm>

namespace jl {

ScanTally::ScanTally(const QStringList& items, int filter, bool decoded)
    : filter(filter), decoded(decoded), items(items), files(size_t(items.size()), 0) {}

int ScanTally::add(const FileVerdict& verdict, int* lastItem) {
    if (!verdict.isDecided()) {
        ++unreadable;
        return 0;
    }
    ++examined;
    if (!verdict.holdsAnyItem)
        ++without;
    int holding = 0;
    for (size_t k = 0; k < verdict.present.size(); ++k) {
        if (!verdict.present[k])
            continue;
        ++files[k];
        ++holding;
        if (lastItem)
            *lastItem = int(k);
    }
    return holding;
}

int ScanTally::deadItems() const {
    return int(std::count(files.begin(), files.end(), 0));
}

} // namespace jl
