#pragma once
// A pile of message files for scan tests, one file per letter of a pattern,
// in list order: D holds the item "spam-token", C is clean, E is empty and M
// names no file. The lists are emptied first; items then holds that item.

#include "support/temp_folder.h"
#include "util/sorted_list.h"

#include <QString>

namespace jl::test {

inline void makeItemPile(SortedList& files, SortedList& items, TempFolder& messages,
                         const QString& pattern) {
    files.clear();
    items.clear();
    items.insert(QStringLiteral("spam-token"));
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QString name = QStringLiteral("f%1").arg(i, 3, 10, QLatin1Char('0'));
        const char kind = pattern[i].toLatin1();
        const QByteArray body = kind == 'D'   ? "Subject: buy\r\nfrom spam-token now\r\n"
                                : kind == 'C' ? "Subject: hello\r\nnothing here\r\n"
                                              : "";
        files.insert(kind == 'M' ? messages.file(name) : messages.write(name, body));
    }
}

} // namespace jl::test
