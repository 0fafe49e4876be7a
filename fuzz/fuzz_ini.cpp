// The INI document and the settings file over any bytes.
// - A document read and written back unchanged gives the same bytes.
// - Values written into any document read back equal (cut at their first line
//   break), and every line of the document that is not the line of a written
//   key is still there, byte for byte, in its order.
// - The settings read from any file keep the radio-group numbers in range; the
//   settings written over any file read back as written.

#include "fuzz_support.h"

#include "app/settings.h"
#include "util/ini_file.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using jl::fuzz::printable;

std::string bytesOf(const QByteArray& b) {
    return std::string(b.constData(), size_t(b.size()));
}

// Line contents (without their ends): CR LF, a lone CR and a lone LF end a line.
std::vector<std::string> lineContents(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.emplace_back(bytes.substr(start, end - start));
        if (end < bytes.size())
            end += (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
        start = end;
    }
    return lines;
}

// Whether a line may be the line of key (any section): its text before the
// first "=" is the key, blanks around, letter case aside.
bool mayBeKeyLine(const std::string& line, const QString& key) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    const QString name = QString::fromUtf8(line.data(), qsizetype(eq)).trimmed();
    return name.compare(key, Qt::CaseInsensitive) == 0 ||
           QString::fromLatin1(line.data(), qsizetype(eq))
                   .trimmed()
                   .compare(key, Qt::CaseInsensitive) == 0;
}

bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    size_t k = 0;
    for (const std::string& line : whole)
        if (k < part.size() && line == part[k])
            ++k;
    return k == part.size();
}

QString oneLine(const QString& value) {
    qsizetype cut = 0;
    while (cut < value.size() && value[cut] != u'\r' && value[cut] != u'\n')
        ++cut;
    return value.left(cut);
}

class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/dev/shm/jl-fuzz-ini-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_path = QString::fromLocal8Bit(pattern);
    }
    ~ScratchDir() { QDir(m_path).removeRecursively(); }
    QString file(const char* name) const { return m_path + QLatin1Char('/') + QLatin1String(name); }

private:
    QString m_path;
};

void checkSettings(const QByteArray& bytes, FuzzedDataProvider& in) {
    static ScratchDir dir;
    const QString path = dir.file("Junkloupe.ini");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            std::abort();
    }
    const jl::SettingsValues read = jl::readSettings(path);
    const std::string detail = "file " + printable(bytesOf(bytes));
    FUZZ_CHECK(read.viewFilter >= -1 && read.viewFilter <= jl::kLastViewFilterItem, detail);
    FUZZ_CHECK(read.expandSelection >= -1 && read.expandSelection <= jl::kLastExpandSelectionItem,
               detail);
    FUZZ_CHECK(read.colourCoding >= -1 && read.colourCoding <= jl::kLastColourCodingItem, detail);

    jl::SettingsValues v;
    v.windowTop = in.ConsumeIntegral<int>();
    v.windowLeft = in.ConsumeIntegral<int>();
    v.windowWidth = in.ConsumeIntegral<int>();
    v.windowHeight = in.ConsumeIntegral<int>();
    v.alwaysOnTop = in.ConsumeBool();
    v.autoRunAtStartup = in.ConsumeBool();
    v.maximized = in.ConsumeBool();
    v.currentDirectory = jl::fuzz::consumeText(in, 20, u"/ab \"=;[]\t\r\n\u00E9", true);
    v.viewFilter = in.ConsumeIntegralInRange<int>(-1, jl::kLastViewFilterItem);
    v.expandSelection = in.ConsumeIntegralInRange<int>(-1, jl::kLastExpandSelectionItem);
    v.colourCoding = in.ConsumeIntegralInRange<int>(-1, jl::kLastColourCodingItem);
    v.selectedFileNum = in.ConsumeIntegral<int>();
    v.autoSaveInterestingItems = in.ConsumeBool();
    QString error;
    FUZZ_CHECK(jl::writeSettings(path, v, &error), detail + " " + error.toStdString());
    jl::SettingsValues want = v;
    want.currentDirectory = oneLine(v.currentDirectory);
    const jl::SettingsValues back = jl::readSettings(path);
    FUZZ_CHECK(back == want, detail + "\ndirectory " + printable(v.currentDirectory) + " read " +
                                 printable(back.currentDirectory));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();
    const size_t documentSize = in.ConsumeIntegralInRange<size_t>(0, in.remaining_bytes());
    const std::string original = in.ConsumeBytesAsString(documentSize);
    const QByteArray bytes(original.data(), qsizetype(original.size()));

    // Read and written back unchanged.
    jl::IniFile doc = jl::IniFile::fromBytes(bytes);
    FUZZ_CHECK(doc.toBytes() == bytes, "document " + printable(original) + "\nwritten " +
                                           printable(bytesOf(doc.toBytes())));
    // Every read answers, whatever the document holds.
    for (const QString& section : doc.sections())
        for (const QString& key : doc.keys(section)) {
            FUZZ_CHECK(doc.hasKey(section, key), printable(original));
            (void)doc.readInteger(section, key, 0);
        }

    // Writes of values into sections and keys that may already be there.
    static const QString sections[] = {QStringLiteral("Junkloupe"), QStringLiteral("junkloupe"),
                                       QStringLiteral("a"), QStringLiteral("B b")};
    static const QString keys[] = {QStringLiteral("k"), QStringLiteral("K"),
                                   QStringLiteral("Selected_File_Num"), QStringLiteral("x y")};
    std::map<std::pair<QString, QString>, QString> written; // by lower-case names
    std::vector<QString> writtenKeys;
    std::string log = "writes:\n";
    const size_t writes = in.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < writes; ++i) {
        const QString& section = sections[in.ConsumeIntegralInRange<size_t>(0, 3)];
        const QString& key = keys[in.ConsumeIntegralInRange<size_t>(0, 3)];
        const QString value =
            jl::fuzz::consumeText(in, 12, u" \"ab=;#[]\t\r\n\u00A0\u2028\u00E9", true);
        doc.writeString(section, key, value);
        log += "  [" + section.toStdString() + "] " + key.toStdString() + " = " + printable(value) +
               "\n";
        written[{section.toLower(), key.toLower()}] = oneLine(value);
        writtenKeys.push_back(key);
        // The value is there at once, and after a write and a read of the file.
        FUZZ_CHECK(doc.readString(section, key) == oneLine(value),
                   "document " + printable(original) + "\nvalue " + printable(value) + " read " +
                       printable(doc.readString(section, key)));
    }
    const QByteArray after = doc.toBytes();
    const jl::IniFile reread = jl::IniFile::fromBytes(after);
    const std::string detail =
        "document " + printable(original) + "\n" + log + "written " + printable(bytesOf(after));
    for (const QString& section : sections)
        for (const QString& key : keys) {
            const auto it = written.find({section.toLower(), key.toLower()});
            if (it != written.end())
                FUZZ_CHECK(reread.readString(section, key) == it->second,
                           detail + "\n[" + section.toStdString() + "] " + key.toStdString() +
                               " read " + printable(reread.readString(section, key)) + " want " +
                               printable(it->second));
        }
    // The lines that no write could have replaced are kept, in order.
    std::vector<std::string> kept;
    for (const std::string& line : lineContents(original)) {
        bool replaced = false;
        for (const QString& key : writtenKeys)
            replaced = replaced || mayBeKeyLine(line, key);
        if (!replaced)
            kept.push_back(line);
    }
    FUZZ_CHECK(isSubsequence(kept, lineContents(bytesOf(after))), detail);

    if (mode & 1)
        checkSettings(bytes, in);
    return 0;
}
