#pragma once
// The kind of an interesting item, read from its text alone: what an analyst
// calls it when the item is shared as an indicator or fed to a filter.
//
// The text is taken without the blanks at its ends. In the order tried:
// - Message-ID: angle brackets around local@host ("<abc.123@mx.example>");
//   the same local@host without brackets is an e-mail address, wherever it
//   was collected;
// - URL: a scheme and "://" ("https://…", also defanged "hxxp://…"),
//   "mailto:", or a host name, an IPv4 address or a bracketed IPv6 address
//   followed by a path ("example.com/login", "192.0.2.1:8080/a");
// - e-mail address: local@domain, the domain a host name or an address
//   literal ("[192.0.2.1]", "[IPv6:2001:db8::1]");
// - IPv4 address: four decimal numbers of 0 to 255, optionally in brackets
//   (as Received lines write them) and with a port;
// - IPv6 address: the text forms of RFC 4291 (with "::", a trailing IPv4
//   part, a zone), optionally bracketed, "IPv6:"-tagged or with a port
//   after the brackets;
// - host name: two or more labels of letters, digits, hyphens and
//   underscores (no hyphen at a label's ends), the last one a top-level
//   domain of letters or punycode ("xn--…"); internationalised labels are
//   taken in their ASCII form; one trailing dot and a port are allowed;
// - other: everything else.

#include <QString>
#include <QStringView>

namespace jl {

enum class ItemKind { Ipv4, Ipv6, Email, Url, MessageId, HostName, Other };

ItemKind classifyItem(QStringView item);

// The kind as a token for files ("ipv4", "ipv6", "email", "url",
// "message-id", "host", "other").
QString itemKindToken(ItemKind kind);
// The kind as the window shows it ("IPv4 address", …, "Other").
QString itemKindLabel(ItemKind kind);

} // namespace jl
