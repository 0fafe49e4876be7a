#pragma once
// An INI document that keeps every line of the file it was read from: other
// sections, other keys, comments, blank lines and their order survive a save,
// byte for byte, except the lines of the keys that were written.
//
// Rules:
// - A section starts at a line "[name]" (blanks around it allowed) and runs to
//   the next section line. A key line is "key = value" inside a section; lines
//   beginning with ";" or "#" are comments. Section and key names are matched
//   without regard to letter case; the first match wins.
// - Values are trimmed on read. A value enclosed in one pair of double quotes
//   is read without them; writes add the pair when a value would otherwise
//   lose its outer blanks or its own enclosing quotes on the next read.
// - A write replaces the value of an existing key in place, or appends the key
//   after the last key of its section, creating the section at the end of the
//   document when it is missing. New lines end with CR LF, or with the line
//   end the document already uses.
// - Text is UTF-8; a line that is not valid UTF-8 is read as Windows-1252.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace jl {

class IniFile {
public:
    IniFile() = default;

    // A settings file has no business being larger: a larger one is not read
    // (nor written over), whatever size it claims.
    static constexpr qint64 kSizeLimit = qint64(4) << 20;

    // The document held by the file; a missing or unreadable file gives an
    // empty document, so every read yields its default. A file the tool
    // refuses to read (larger than the limit, or a link of another user:
    // links are followed under the own-file rule of own_files.h) fills
    // *error with the reason; such a file must not be written over either.
    static IniFile load(const QString& path, QString* error = nullptr);
    // The same, but false when a file is there that cannot be read: writing
    // such a document back would drop the file's other lines.
    static bool loadForUpdate(const QString& path, IniFile* document, QString* error = nullptr);
    static IniFile fromBytes(const QByteArray& bytes);

    QByteArray toBytes() const;
    // Replaces the file by the whole document through a temporary file and a
    // rename; false (and *error filled when given) when that fails.
    bool save(const QString& path, QString* error = nullptr) const;

    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;
    // The names of the sections / of the keys of one section, in file order.
    QStringList sections() const;
    QStringList keys(const QString& section) const;

    // Missing key: the empty text.
    QString readString(const QString& section, const QString& key) const;
    // Decimal with an optional sign, or hexadecimal after "0x", "0X" or "$"
    // (sign allowed in front); a missing key, any other text, or a number
    // outside the int range gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Read as an integer, non-zero meaning true; not a number gives the default.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;

    // A value is one line: it is cut at its first CR or LF, so no text can
    // smuggle other keys or sections into the file.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    // Removes the key's line; true when there was one.
    bool removeKey(const QString& section, const QString& key);

    // Makes the document fit in limit bytes, so that it can be read back:
    // lines that were read from the file and not written since are left
    // out, the longest first, but never the header of keptSection. Returns
    // how many were left out (0 when it fitted already); the document may
    // still be too large when the written lines alone are.
    int keepWithin(qint64 limit, const QString& keptSection);

    // Parses an integer by the rules of readInteger; false when it is not one.
    static bool parseInteger(const QString& text, int* value);

private:
    struct Line {
        QString text;        // decoded, without the line end
        QByteArray raw;      // the bytes as read (empty for lines we wrote)
        QByteArray ending;   // "\r\n", "\n", "\r", or empty for a last line
        bool changed = true; // written from text when true
    };

    // Index of the section's header line, or -1.
    int findSection(const QString& section) const;
    // Index past the section's last line (the next header or the end).
    int sectionEnd(int header) const;
    // Index of the key's line inside the section, or -1.
    int findKey(const QString& section, const QString& key) const;
    void insertLine(int index, const QString& text);
    QByteArray newLineEnding() const;

    std::vector<Line> m_lines;
};

} // namespace jl
