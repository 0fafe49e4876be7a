// The kind of an item from its text: the tricky cases an analyst's list holds.

#include "items/item_kind.h"

#include <gtest/gtest.h>

namespace jl {
namespace {

struct KindCase {
    const char16_t* item;
    ItemKind kind;
};

TEST(ItemKind, TrickyCases) {
    const KindCase cases[] = {
        // IPv4: bare, bracketed as Received lines write it, with a port.
        {u"192.0.2.1", ItemKind::Ipv4},
        {u"[192.0.2.1]", ItemKind::Ipv4},
        {u"192.0.2.1:8080", ItemKind::Ipv4},
        {u"[192.0.2.1]:25", ItemKind::Ipv4},
        {u"  10.0.0.255 ", ItemKind::Ipv4},
        {u"256.1.1.1", ItemKind::Other},
        {u"1.2.3", ItemKind::Other},
        {u"1.2.3.4.5", ItemKind::Other},
        {u"192.0.2.1.", ItemKind::Other}, // a trailing dot makes no address
        {u"192.0.2.1:70000", ItemKind::Other},
        // IPv6: compressed, full, IPv4-mapped, zoned, bracketed, tagged.
        {u"2001:db8::1", ItemKind::Ipv6},
        {u"2001:0db8:0000:0000:0000:ff00:0042:8329", ItemKind::Ipv6},
        {u"::1", ItemKind::Ipv6},
        {u"::", ItemKind::Ipv6},
        {u"::ffff:192.0.2.1", ItemKind::Ipv6},
        {u"fe80::1%eth0", ItemKind::Ipv6},
        {u"[2001:db8::1]", ItemKind::Ipv6},
        {u"[2001:db8::1]:25", ItemKind::Ipv6},
        {u"[IPv6:2001:db8::1]", ItemKind::Ipv6},
        {u"2001:db8::1::2", ItemKind::Other},
        {u"1:2:3:4:5:6:7:8:9", ItemKind::Other},
        {u"2001:db8::g", ItemKind::Other},
        {u"::ffff:192.0.2.300", ItemKind::Other},
        {u"12:30", ItemKind::Other},
        // E-mail addresses, also the local@host of a Message-ID line.
        {u"john.doe@example.com", ItemKind::Email},
        {u"a+tag@mail.example.co.uk", ItemKind::Email},
        {u"\"odd name\"@example.com", ItemKind::Email},
        {u"postmaster@[192.0.2.1]", ItemKind::Email},
        {u"x@[IPv6:2001:db8::1]", ItemKind::Email},
        {u"20231107.123$abc@mx.example.net", ItemKind::Email},
        {u"user@bücher.de", ItemKind::Email},
        {u"@example.com", ItemKind::Other},
        {u"user@", ItemKind::Other},
        {u"user@localhost", ItemKind::Other},
        {u"a@b@example.com", ItemKind::Other},
        // Message-IDs are angle-bracketed.
        {u"<abc.123@mx.example>", ItemKind::MessageId},
        {u"<john.doe@example.com>", ItemKind::MessageId},
        {u"<no-at-sign>", ItemKind::Other},
        {u"<a b@c.d>", ItemKind::Other},
        // URLs: a scheme, defanged ones too, mailto, or a host with a path.
        {u"https://example.com/login?id=1", ItemKind::Url},
        {u"hxxp://evil.example/", ItemKind::Url},
        {u"ftp://192.0.2.1/x", ItemKind::Url},
        {u"mailto:a@example.com", ItemKind::Url},
        {u"example.com/path", ItemKind::Url},
        {u"example.com:8080/path", ItemKind::Url},
        {u"192.0.2.1/x", ItemKind::Url},
        {u"[2001:db8::1]:80/x", ItemKind::Url},
        {u"http://", ItemKind::Other},
        {u"/etc/passwd", ItemKind::Other},
        // Host names: trailing dots, IDN, punycode, ports, underscores.
        {u"mail.example.com", ItemKind::HostName},
        {u"mail.example.com.", ItemKind::HostName},
        {u"EXAMPLE.COM", ItemKind::HostName},
        {u"xn--bcher-kva.example", ItemKind::HostName},
        {u"bücher.de", ItemKind::HostName},
        {u"例え.テスト", ItemKind::HostName},
        {u"example.xn--p1ai", ItemKind::HostName},
        {u"example.com:25", ItemKind::HostName},
        {u"dkim_selector.example.org", ItemKind::HostName},
        {u"example.com..", ItemKind::Other},
        {u"-bad.example.com", ItemKind::Other},
        {u"bad-.example.com", ItemKind::Other},
        {u"example.c", ItemKind::Other},
        {u"example.c0m", ItemKind::Other},
        {u"localhost", ItemKind::Other},
        {u"a..b.com", ItemKind::Other},
        {u"under_score.tld_", ItemKind::Other},
        // Everything else.
        {u"", ItemKind::Other},
        {u"   ", ItemKind::Other},
        {u"Viagra", ItemKind::Other},
        {u"X-Mailer: Foo 1.0", ItemKind::Other},
        {u"example.com and more", ItemKind::Other},
    };
    for (const KindCase& c : cases) {
        const QString item = QString::fromUtf16(c.item);
        EXPECT_EQ(classifyItem(item), c.kind) << item.toStdString();
    }
}

TEST(ItemKind, LongLabelsAndNamesAreRefused) {
    const QString label63(63, QLatin1Char('a'));
    EXPECT_EQ(classifyItem(label63 + QStringLiteral(".com")), ItemKind::HostName);
    EXPECT_EQ(classifyItem(label63 + QStringLiteral("a.com")), ItemKind::Other);
    QString name;
    for (int k = 0; k < 5; ++k)
        name += QString(50, QLatin1Char('b')) + QLatin1Char('.');
    EXPECT_EQ(classifyItem(name + QStringLiteral("com")), ItemKind::Other); // 258 > 253
}

} // namespace
} // namespace jl
