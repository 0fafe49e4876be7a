#include "util/ini_file.h"

#include "support/temp_folder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace jl {
namespace {

const QString kSec = QStringLiteral("Junkloupe");

IniFile doc(const char* text) {
    return IniFile::fromBytes(QByteArray(text));
}

TEST(IniFileRead, NamesIgnoreCaseAndValuesAreTrimmed) {
    const IniFile ini = doc("[junkLOUPE]\r\n  Window_TOP_posn =  42  \r\nname= some text \r\n");
    EXPECT_EQ(ini.readInteger(kSec, "window_top_posn", 20), 42);
    EXPECT_EQ(ini.readString(kSec, "NAME"), "some text");
    EXPECT_TRUE(ini.hasKey(kSec, "Name"));
    EXPECT_EQ(ini.readString(kSec, "missing"), "");
    EXPECT_EQ(ini.readString("Other", "name"), "");
}

TEST(IniFileRead, KeysBelongOnlyToTheirOwnSection) {
    const IniFile ini = doc("top=1\n[Other]\nkey=other\n[Junkloupe]\nkey=ours\n; key=comment\n"
                            "#key=hash\n[Third]\nlate=3\n");
    EXPECT_EQ(ini.readString(kSec, "key"), "ours");
    EXPECT_EQ(ini.readString("other", "KEY"), "other");
    EXPECT_FALSE(ini.hasKey(kSec, "top"));
    EXPECT_FALSE(ini.hasKey(kSec, "late"));
    EXPECT_EQ(ini.keys(kSec), QStringList{"key"});
    EXPECT_EQ(ini.sections(), (QStringList{"Other", "Junkloupe", "Third"}));
}

TEST(IniFileRead, IntegersDecimalHexOrDefault) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"17", 17},
        {"-5", -5},
        {"+8", 8},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", 99},
        {"0x80000000", 99},
        {"99999999999999", 99},
        {"12abc", 99},
        {"abc", 99},
        {"", 99},
        {"0x", 99},
        {"$", 99},
        {"1.5", 99},
        {"1 2", 99},
        {"-", 99},
        {"$G1", 99},
    };
    for (const Case& c : cases) {
        IniFile ini;
        ini.writeString(kSec, "n", QString::fromLatin1(c.text));
        EXPECT_EQ(ini.readInteger(kSec, "n", 99), c.expected) << c.text;
    }
    EXPECT_EQ(IniFile().readInteger(kSec, "n", 7), 7);
}

TEST(IniFileRead, BooleansAreIntegers) {
    const IniFile ini = doc("[Junkloupe]\na=1\nb=0\nc=-3\nd=0x10\ne=yes\nf=\n");
    EXPECT_TRUE(ini.readBool(kSec, "a", false));
    EXPECT_FALSE(ini.readBool(kSec, "b", true));
    EXPECT_TRUE(ini.readBool(kSec, "c", false));
    EXPECT_TRUE(ini.readBool(kSec, "d", false));
    EXPECT_TRUE(ini.readBool(kSec, "e", true));
    EXPECT_FALSE(ini.readBool(kSec, "e", false));
    EXPECT_TRUE(ini.readBool(kSec, "f", true));
    EXPECT_FALSE(ini.readBool(kSec, "missing", false));
}

TEST(IniFileRead, NonUtf8LinesAreWindows1252) {
    const IniFile ini = doc("[Junkloupe]\nutf=caf\xC3\xA9\nansi=caf\xE9 \x80\n");
    EXPECT_EQ(ini.readString(kSec, "utf"), QStringLiteral(u"café"));
    EXPECT_EQ(ini.readString(kSec, "ansi"), QStringLiteral(u"café €"));
}

TEST(IniFileWrite, ReplacesInPlaceKeepingEverythingElse) {
    const QByteArray before = "; hand-written\r\n"
                              "[Other]\r\n"
                              "x = 1\r\n"
                              "\r\n"
                              "[JUNKLOUPE]\r\n"
                              "Window_Width = 100\r\n"
                              "; keep me\r\n"
                              "foreign=caf\xE9\r\n"
                              "\r\n"
                              "[Last]\r\n"
                              "y=2";
    IniFile ini = IniFile::fromBytes(before);
    EXPECT_EQ(ini.toBytes(), before);
    ini.writeInteger(kSec, "window_width", 815);
    ini.writeBool(kSec, "Always_on_Top_Option", true);
    ini.writeBool("Fresh", "flag", false);
    EXPECT_EQ(ini.toBytes(), QByteArray("; hand-written\r\n"
                                        "[Other]\r\n"
                                        "x = 1\r\n"
                                        "\r\n"
                                        "[JUNKLOUPE]\r\n"
                                        "Window_Width =815\r\n"
                                        "; keep me\r\n"
                                        "foreign=caf\xE9\r\n"
                                        "Always_on_Top_Option=1\r\n"
                                        "\r\n"
                                        "[Last]\r\n"
                                        "y=2\r\n"
                                        "\r\n"
                                        "[Fresh]\r\n"
                                        "flag=0\r\n"));
}

TEST(IniFileWrite, NewDocumentAndLineEndings) {
    IniFile fresh;
    fresh.writeString(kSec, "a", "1");
    fresh.writeString(kSec, "b", "2");
    EXPECT_EQ(fresh.toBytes(), QByteArray("[Junkloupe]\r\na=1\r\nb=2\r\n"));

    IniFile lf = doc("[Junkloupe]\na=1\n");
    lf.writeString(kSec, "b", "2");
    EXPECT_EQ(lf.toBytes(), QByteArray("[Junkloupe]\na=1\nb=2\n"));

    IniFile headerOnly = doc("[Junkloupe]");
    headerOnly.writeString(kSec, "a", "1");
    EXPECT_EQ(headerOnly.toBytes(), QByteArray("[Junkloupe]\r\na=1\r\n"));
}

TEST(IniFileWrite, ValuesRoundTripAndCannotInjectLines) {
    const QString values[] = {"",
                              " leading",
                              "trailing ",
                              "\"quoted\"",
                              "a=b;c",
                              "C:\\dir\\x",
                              QStringLiteral(u"Ünïcödé")};
    for (const QString& v : values) {
        IniFile ini;
        ini.writeString(kSec, "v", v);
        EXPECT_EQ(IniFile::fromBytes(ini.toBytes()).readString(kSec, "v"), v) << qPrintable(v);
    }
    IniFile ini;
    ini.writeString(kSec, "dir", "/tmp/a\n[Junkloupe]\nSelected_File_Num=5");
    const IniFile back = IniFile::fromBytes(ini.toBytes());
    EXPECT_EQ(back.readString(kSec, "dir"), "/tmp/a");
    EXPECT_FALSE(back.hasKey(kSec, "Selected_File_Num"));
}

TEST(IniFileWrite, RemoveKey) {
    IniFile ini = doc("[Junkloupe]\na=1\nb=2\n");
    EXPECT_TRUE(ini.removeKey(kSec, "A"));
    EXPECT_FALSE(ini.removeKey(kSec, "a"));
    EXPECT_EQ(ini.toBytes(), QByteArray("[Junkloupe]\nb=2\n"));
}

TEST(IniFileDisk, MissingFileIsEmptyAndSaveReplacesTheFile) {
    test::TempFolder tmp;
    const IniFile missing = IniFile::load(tmp.file("none.ini"));
    EXPECT_TRUE(missing.sections().isEmpty());

    const QString path = tmp.write("s.ini", "[Junkloupe]\r\n; note\r\nk=1\r\n");
    IniFile ini = IniFile::load(path);
    ini.writeInteger(kSec, "k", 2);
    QString error;
    ASSERT_TRUE(ini.save(path, &error)) << qPrintable(error);
    EXPECT_EQ(tmp.read("s.ini"), QByteArray("[Junkloupe]\r\n; note\r\nk=2\r\n"));

    EXPECT_FALSE(ini.save(tmp.file("no/such/dir/s.ini"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// A settings file of any stated size is refused unread: 100 GiB sparse (it
// once asked for 100 GiB of memory at once) and one just past the limit.
TEST(IniFileDisk, SettingsFilePastTheLimitIsNeitherReadNorWrittenOver) {
    test::TempFolder tmp;
    const QString path = tmp.write("Junkloupe.ini", "[Junkloupe]\r\nwindow_Width=900\r\n");
    for (const qint64 size : {qint64(100) << 30, IniFile::kSizeLimit + 1}) {
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
        QString refusal;
        const IniFile ini = IniFile::load(path, &refusal);
        EXPECT_FALSE(ini.hasSection(kSec));
        EXPECT_EQ(refusal, "the file is larger than 4 MB");
        IniFile update;
        QString error;
        EXPECT_FALSE(IniFile::loadForUpdate(path, &update, &error));
        EXPECT_EQ(error, refusal);
        EXPECT_EQ(QFileInfo(path).size(), size);
    }
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), IniFile::kSizeLimit), 0);
    QString refusal;
    EXPECT_TRUE(IniFile::load(path, &refusal).hasSection(kSec));
    EXPECT_TRUE(refusal.isEmpty());
}

} // namespace
} // namespace jl
