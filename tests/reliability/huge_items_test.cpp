// Huge interesting-items lists: the matcher that colours the view and decides
// the scan takes memory in proportion to the items' total length (at most
// eight bytes per character, besides its fixed dense rows and a little per
// item), whatever their shape. Measured in a child process as the
// growth of its peak resident size over building the matcher and using both
// of its searches (not under the address sanitizer, whose shadow memory says
// nothing of the matcher).

#include "fault_support.h"

#include "items/item_matcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace jl::test {
namespace {

struct Shape {
    const char* what;
    QStringList items;
};

// The bound: eight bytes per character, a little per item, and the dense
// rows of the shallow states, whose size is fixed.
constexpr double kBytesPerCharacter = 8;
constexpr double kBytesPerItem = 64;

QString randomText(std::mt19937& rng, qsizetype length) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789.-@";
    QString s(length, Qt::Uninitialized);
    for (QChar& c : s)
        c = QLatin1Char(alphabet[rng() % (sizeof alphabet - 1)]);
    return s;
}

std::vector<Shape> shapes() {
    std::mt19937 rng(11);
    std::vector<Shape> out;
    QStringList longItems;
    for (int i = 0; i < 8; ++i)
        longItems << randomText(rng, 1'000'000);
    out.push_back({"eight items of a million characters", longItems});
    QStringList shortItems;
    for (int i = 0; i < 100 * 1000; ++i)
        shortItems << randomText(rng, 40);
    out.push_back({"a hundred thousand items of forty characters", shortItems});
    // Every deep state has a suffix where an item ends: the worst case.
    out.push_back({"an item inside every suffix of a long one",
                   {QStringLiteral("a"), QString(2'000'000, QLatin1Char('a'))}});
    return out;
}

TEST(HugeItems, TheMatcherTakesAFewBytesPerCharacter) {
    for (const Shape& shape : shapes()) {
        SCOPED_TRACE(shape.what);
        long long characters = 0;
        for (const QString& item : shape.items)
            characters += item.size();
        const ChildReport report = runInChild(
            [&]() -> std::string {
                std::string out = "reset=" + std::to_string(resetPeakResidentSize()) + "\n";
                out += "before-kb=" + std::to_string(statusKilobytes("VmRSS")) + "\n";
                const ItemMatcher matcher(shape.items);
                const QByteArray file = "Received: from " + shape.items.front().toLatin1();
                out += "any=" +
                       std::to_string(matcher.containsAnyItem(
                           std::string_view(file.constData(), size_t(file.size())))) +
                       "\n";
                out += "spans=" +
                       std::to_string(
                           matcher.colour(QString::fromLatin1(file), Everything).spans.size()) +
                       "\n";
                out += "held=" + std::to_string(matcher.memoryBytes()) + "\n";
                out += "peak-kb=" + std::to_string(statusKilobytes("VmHWM")) + "\n";
                return out;
            },
            120);
        ASSERT_TRUE(report.exitedNormally) << report.text;
        EXPECT_EQ(report.value("any"), "1");
        EXPECT_EQ(report.value("spans"), "2"); // the label and an item
        const double held = double(report.number("held"));
        const double peak = double(report.number("peak-kb") - report.number("before-kb")) * 1024;
        std::printf("[ figures  ] %s: %.2f bytes per character held, %.2f at the peak\n",
                    shape.what, held / double(characters), peak / double(characters));
        const double bound = kBytesPerCharacter * double(characters) +
                             kBytesPerItem * double(shape.items.size()) +
                             double(ItemMatcher::DefaultDenseBytes);
        EXPECT_LE(held, bound);
        if (!builtWithAddressSanitizer() && report.value("reset") == "1") {
            EXPECT_LE(peak, bound);
        }
    }
}

} // namespace
} // namespace jl::test
