#include "items/item_kind.h"

#include <QUrl>

namespace jl {

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isHexDigit(QChar c) {
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool allOf(QStringView text, bool (*test)(QChar)) {
    for (const QChar c : text)
        if (!test(c))
            return false;
    return true;
}

// "NNN" with 1 to 3 digits and a value up to 255.
bool isOctet(QStringView part) {
    return !part.isEmpty() && part.size() <= 3 && allOf(part, isAsciiDigit) && part.toInt() <= 255;
}

bool isIpv4(QStringView text) {
    int parts = 0;
    for (const QStringView part : text.split(u'.')) {
        if (!isOctet(part))
            return false;
        ++parts;
    }
    return parts == 4;
}

// The text forms of RFC 4291 section 2.2 with an optional zone ("%eth0").
bool isIpv6(QStringView text) {
    const qsizetype zone = text.indexOf(u'%');
    if (zone >= 0) {
        if (zone + 1 == text.size())
            return false;
        text = text.left(zone);
    }
    const qsizetype gap = text.indexOf(u"::");
    if (gap >= 0 && text.indexOf(u"::", gap + 1) >= 0)
        return false;
    // Counts the 16-bit groups of one side of the gap; -1 when malformed.
    // A trailing IPv4 part (only on the last side) counts as two groups.
    const auto groups = [](QStringView side, bool last) -> int {
        if (side.isEmpty())
            return 0;
        int count = 0;
        const QList<QStringView> parts = side.split(u':');
        for (qsizetype k = 0; k < parts.size(); ++k) {
            const QStringView part = parts.at(k);
            if (last && k + 1 == parts.size() && part.contains(u'.')) {
                if (!isIpv4(part))
                    return -1;
                count += 2;
            } else if (part.isEmpty() || part.size() > 4 || !allOf(part, isHexDigit)) {
                return -1;
            } else {
                ++count;
            }
        }
        return count;
    };
    if (gap < 0)
        return groups(text, true) == 8;
    const int before = groups(text.left(gap), false);
    const int after = groups(text.mid(gap + 2), true);
    return before >= 0 && after >= 0 && before + after <= 7;
}

// A port after a colon: 1 to 5 digits up to 65535.
bool isPort(QStringView text) {
    return !text.isEmpty() && text.size() <= 5 && allOf(text, isAsciiDigit) &&
           text.toInt() <= 65535;
}

// The text without a ":port" at its end, when it has exactly one colon
// followed by a port.
QStringView withoutPort(QStringView text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon > 0 && text.indexOf(u':') == colon && isPort(text.mid(colon + 1)))
        return text.left(colon);
    return text;
}

bool isAsciiLabel(QStringView label, bool topLevel) {
    if (label.isEmpty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
        return false;
    if (topLevel) {
        if (label.startsWith(u"xn--", Qt::CaseInsensitive))
            return label.size() > 4 && allOf(label, [](QChar c) {
                       return isAsciiLetter(c) || isAsciiDigit(c) || c == u'-';
                   });
        return label.size() >= 2 && allOf(label, isAsciiLetter);
    }
    return allOf(label, [](QChar c) {
        return isAsciiLetter(c) || isAsciiDigit(c) || c == u'-' || c == u'_';
    });
}

// Labels and a top-level domain; internationalised names in their ASCII
// form. One trailing dot (the root) is allowed.
bool isHostName(QStringView text) {
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text.isEmpty() || text.contains(u".."))
        return false;
    QString ascii;
    bool plain = true;
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            plain = false;
    if (plain) {
        ascii = text.toString();
    } else {
        // The IDNA conversion refuses what is not a valid name.
        ascii = QUrl::toAce(text.toString(), QUrl::AceTransitionalProcessing);
        if (ascii.isEmpty())
            return false;
        if (ascii.endsWith(u'.'))
            ascii.chop(1);
    }
    if (ascii.size() > 253)
        return false;
    const QList<QStringView> labels = QStringView(ascii).split(u'.');
    if (labels.size() < 2)
        return false;
    for (qsizetype k = 0; k < labels.size(); ++k)
        if (!isAsciiLabel(labels.at(k), k + 1 == labels.size()))
            return false;
    return true;
}

// "[192.0.2.1]", "[IPv6:2001:db8::1]": the address literals of RFC 5321.
bool isAddressLiteral(QStringView text) {
    if (!text.startsWith(u'[') || !text.endsWith(u']'))
        return false;
    const QStringView inner = text.mid(1, text.size() - 2);
    if (inner.startsWith(u"IPv6:", Qt::CaseInsensitive))
        return isIpv6(inner.mid(5));
    return isIpv4(inner);
}

bool isAtomCharacter(QChar c) {
    if (isAsciiLetter(c) || isAsciiDigit(c) || c.unicode() >= 0x80)
        return !c.isSpace() && c.isPrint();
    return QStringView(u"!#$%&'*+-/=?^_`{|}~.").contains(c);
}

// A dot-atom (leniently: junk mail's dots need not follow the rules) or a
// quoted string.
bool isLocalPart(QStringView text) {
    if (text.isEmpty())
        return false;
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
        const QStringView inner = text.mid(1, text.size() - 2);
        for (qsizetype k = 0; k < inner.size(); ++k) {
            if (inner.at(k) == u'\\' && k + 1 < inner.size())
                ++k;
            else if (inner.at(k) == u'"' || inner.at(k) == u'\\')
                return false;
        }
        return true;
    }
    return allOf(text, isAtomCharacter);
}

bool isEmail(QStringView text) {
    const qsizetype at = text.lastIndexOf(u'@');
    if (at <= 0)
        return false;
    const QStringView local = text.left(at);
    const QStringView domain = text.mid(at + 1);
    if (!local.endsWith(u'"') && local.contains(u'@'))
        return false;
    return isLocalPart(local) && (isHostName(domain) || isAddressLiteral(domain));
}

bool isMessageId(QStringView text) {
    if (text.size() < 5 || text.front() != u'<' || text.back() != u'>')
        return false;
    const QStringView inner = text.mid(1, text.size() - 2);
    const qsizetype at = inner.lastIndexOf(u'@');
    if (at <= 0 || at + 1 == inner.size())
        return false;
    for (const QChar c : inner)
        if (c.isSpace() || c == u'<' || c == u'>' || !c.isPrint())
            return false;
    return true;
}

bool isUrl(QStringView text) {
    // scheme "://" something: http, https, ftp, and defanged forms alike.
    const qsizetype separator = text.indexOf(u"://");
    if (separator > 0 && separator + 3 < text.size() && isAsciiLetter(text.front()) &&
        allOf(text.left(separator), [](QChar c) {
            return isAsciiLetter(c) || isAsciiDigit(c) || c == u'+' || c == u'.' || c == u'-';
        }))
        return !text.contains(u' ');
    if (text.startsWith(u"mailto:", Qt::CaseInsensitive))
        return text.size() > 7 && !text.contains(u' ');
    // A host with a path.
    const qsizetype slash = text.indexOf(u'/');
    if (slash <= 0 || text.contains(u' '))
        return false;
    QStringView host = text.left(slash);
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        if (close < 0)
            return false;
        const QStringView rest = host.mid(close + 1);
        if (!rest.isEmpty() && !(rest.front() == u':' && isPort(rest.mid(1))))
            return false;
        return isIpv6(host.mid(1, close - 1));
    }
    host = withoutPort(host);
    return isIpv4(host) || isHostName(host);
}

} // namespace

ItemKind classifyItem(QStringView item) {
    const QStringView text = item.trimmed();
    if (text.isEmpty())
        return ItemKind::Other;
    if (isMessageId(text))
        return ItemKind::MessageId;
    if (isUrl(text))
        return ItemKind::Url;
    if (isEmail(text))
        return ItemKind::Email;

    // An address, bare, bracketed (as Received lines write them), tagged
    // "IPv6:", or followed by a port.
    QStringView address = text;
    if (address.startsWith(u'[')) {
        const qsizetype close = address.indexOf(u']');
        if (close < 0)
            return ItemKind::Other;
        const QStringView rest = address.mid(close + 1);
        if (!rest.isEmpty() && !(rest.front() == u':' && isPort(rest.mid(1))))
            return ItemKind::Other;
        address = address.mid(1, close - 1);
        if (address.startsWith(u"IPv6:", Qt::CaseInsensitive))
            return isIpv6(address.mid(5)) ? ItemKind::Ipv6 : ItemKind::Other;
        if (isIpv4(address))
            return ItemKind::Ipv4;
        return isIpv6(address) ? ItemKind::Ipv6 : ItemKind::Other;
    }
    if (isIpv6(address))
        return ItemKind::Ipv6;
    address = withoutPort(address);
    if (isIpv4(address))
        return ItemKind::Ipv4;
    if (isHostName(address))
        return ItemKind::HostName;
    return ItemKind::Other;
}

QString itemKindToken(ItemKind kind) {
    switch (kind) {
    case ItemKind::Ipv4:
        return QStringLiteral("ipv4");
    case ItemKind::Ipv6:
        return QStringLiteral("ipv6");
    case ItemKind::Email:
        return QStringLiteral("email");
    case ItemKind::Url:
        return QStringLiteral("url");
    case ItemKind::MessageId:
        return QStringLiteral("message-id");
    case ItemKind::HostName:
        return QStringLiteral("host");
    case ItemKind::Other:
        break;
    }
    return QStringLiteral("other");
}

QString itemKindLabel(ItemKind kind) {
    switch (kind) {
    case ItemKind::Ipv4:
        return QStringLiteral("IPv4 address");
    case ItemKind::Ipv6:
        return QStringLiteral("IPv6 address");
    case ItemKind::Email:
        return QStringLiteral("E-mail address");
    case ItemKind::Url:
        return QStringLiteral("URL");
    case ItemKind::MessageId:
        return QStringLiteral("Message-ID");
    case ItemKind::HostName:
        return QStringLiteral("Host name");
    case ItemKind::Other:
        break;
    }
    return QStringLiteral("Other");
}

} // namespace jl
