#include "platform/Paths.h"

#include <QStringDecoder>

namespace Paths {

namespace {

// The surrogates that stand for single bytes 0x80..0xFF that are not valid UTF-8.
constexpr char16_t escapeBase = 0xDC00;
constexpr char16_t escapeFirst = 0xDC80;
constexpr char16_t escapeLast = 0xDCFF;

// A byte escape is a low surrogate in the escape range that is not the second half of a pair:
// a valid character beyond U+FFFF may end in the same unit.
bool isEscapedByte(const QString& text, qsizetype at) {
    const char16_t unit = text[at].unicode();
    return unit >= escapeFirst && unit <= escapeLast &&
           (at == 0 || !text[at - 1].isHighSurrogate());
}

// Length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none (overlong
// forms, encoded surrogates and values past U+10FFFF are not valid).
qsizetype validSequenceAt(QByteArrayView bytes, qsizetype at, char32_t& codePoint) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

// "\xNN" names one byte: a C0 control or DEL, which UTF-8 writes as one byte, or a byte that is
// not part of a valid sequence.
QString byteEscape(unsigned byte) {
    return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

// "\uNNNN" names a character of several bytes.
QString characterEscape(char16_t unit) {
    return QStringLiteral("\\u") + QString::number(unit, 16).toUpper().rightJustified(4, u'0');
}

// What a terminal or a text view takes as a command or the end of a line rather than as part of
// a name: the C0 controls, DEL, the C1 controls (U+0085 ends a line for some), and the line and
// paragraph separators, where Qt's text layout breaks a line.
bool isControl(char16_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029;
}

QString decodeEscaping(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            out += QChar(char16_t(lead));
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const qsizetype length = validSequenceAt(bytes, at, codePoint);
        if (length == 0) {
            out += QChar(char16_t(escapeBase + lead));
            ++at;
            continue;
        }
        const char32_t units[1] = {codePoint};
        out += QString::fromUcs4(units, 1);
        at += length;
    }
    return out;
}

} // namespace

QString fromUtf8Bytes(QByteArrayView bytes) {
    // A byte-order mark is content here: it is kept, so that the bytes come back as they were.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? decodeEscaping(bytes) : text;
}

QByteArray toUtf8Bytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isEscapedByte(text, i))
            continue;
        out += QStringView(text).sliced(runStart, i - runStart).toUtf8();
        if (i < text.size())
            out += char(text[i].unicode() - escapeBase);
        runStart = i + 1;
    }
    return out;
}

QString displayName(const QString& path) {
    QString out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (isEscapedByte(path, i))
            out += byteEscape(unit - escapeBase);
        else if (!isControl(unit))
            out += path[i];
        else if (unit == u'\n')
            out += QStringLiteral("\\n");
        else if (unit == u'\t')
            out += QStringLiteral("\\t");
        else if (unit == u'\r')
            out += QStringLiteral("\\r");
        else if (unit <= 0x7F)
            out += byteEscape(unit);
        else
            out += characterEscape(unit);
    }
    return out;
}

bool samePath(const QString& a, const QString& b) {
    return PathKey(a) == PathKey(b);
}

bool startsWith(const QString& path, const QString& prefix) {
    return PathKey(path).startsWith(PathKey(prefix));
}

QString withoutTrailingSeparator(const QString& path) {
    if (isRoot(path) || !path.endsWith(separator()))
        return path;
    return path.chopped(1);
}

int separatorCount(const QString& path) {
    return int(path.count(separator()));
}

bool isSameOrBelow(const QString& path, const QString& folder) {
    if (isRoot(folder))
        return startsWith(path, folder);
    const QString f = withoutTrailingSeparator(folder);
    const QString p = withoutTrailingSeparator(path);
    return samePath(p, f) || startsWith(p, f + separator());
}

QStringList componentsBelow(const QString& path, const QString& folder) {
    if (!isSameOrBelow(path, folder))
        return {};
    const QStringList all = split(withoutTrailingSeparator(path));
    const QStringList above = split(withoutTrailingSeparator(folder));
    QStringList below = all.mid(isRoot(folder) ? 1 : above.size());
    below.removeAll(QString());
    return below;
}

bool isDirectlyIn(const QString& child, const QString& folder) {
    // The folder with its separator: a root already has it, so "/a" is directly in "/".
    const QString head = withoutTrailingSeparator(folder);
    const QString withSep = head.endsWith(separator()) ? head : head + separator();
    const QString c = withoutTrailingSeparator(child);
    if (!startsWith(c, withSep) || c.size() == withSep.size())
        return false;
    return separatorCount(c) == separatorCount(withSep);
}

QString parent(const QString& path) {
    const QString p = withoutTrailingSeparator(path);
    if (isRoot(p))
        return {};
    const qsizetype cut = p.lastIndexOf(separator());
    if (cut < 0)
        return {};
    return cut == 0 ? QString(separator()) : p.left(cut);
}

QString fileName(const QString& path) {
    const QString p = withoutTrailingSeparator(path);
    if (isRoot(p))
        return {};
    return p.mid(p.lastIndexOf(separator()) + 1);
}

QString join(const QString& folder, const QString& name) {
    qsizetype start = 0;
    while (start < name.size() && name[start] == separator())
        ++start;
    const QString rest = name.mid(start);
    if (folder.isEmpty())
        return rest;
    QString head = folder;
    while (head.size() > 1 && head.endsWith(separator()))
        head.chop(1);
    if (rest.isEmpty())
        return head;
    return head.endsWith(separator()) ? head + rest : head + separator() + rest;
}

QStringList split(const QString& path) {
    return path.split(separator());
}

} // namespace Paths
