// Export on the statistics page: the file it writes is what junkloupe-cli
// export writes for the same items, view filter and files.

#include "items_fixture.h"
#include "util/qstring_printer.h"

#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

namespace jl::test {
namespace {

class StatisticsExportTest : public HarvestWindowTest {
protected:
    QPushButton* exportButton() const { return button("exportItemsButton"); }

    // Items of every kind and with characters a pattern language takes for
    // its own; files where they stand in the first header, in a forwarded
    // message's header and in the body only, so that each view filter
    // counts them differently; and one whose items stand only in a base64
    // body, counted only in the decoded text.
    void makePile() {
        paths = {
            messages.write("a.eml", "Received: from mx.example.com ([192.0.2.7])\r\n"
                                    "Subject: casino $5 (a+b)\r\n\r\nbody: x.y*z\r\n"),
            messages.write("b.eml", "Subject: hello\r\n\r\nvisit http://spam.example/win?a=1\r\n"
                                    "\r\nReceived: from mx.example.com\r\nSubject: casino\r\n"),
            messages.write("c.eml", "Message-ID: <abc.123@mx.example.com>\r\n\r\n"
                                    "reply to seller@shop.example or 2001:db8::1\r\n"),
            messages.write("d.eml", "Subject: hidden\r\nMIME-Version: 1.0\r\n"
                                    "Content-Type: text/plain\r\n"
                                    "Content-Transfer-Encoding: base64\r\n\r\n"
                                    "Y2FzaW5vIGF0IHNlbGxlckBzaG9wLmV4YW1wbGU=\r\n"),
        };
        files().insertMany(paths);
        items().insertMany({"mx.example.com", "192.0.2.7", "casino", "$5 (a+b)", "x.y*z",
                            "http://spam.example/win?a=1", "<abc.123@mx.example.com>",
                            "seller@shop.example", "2001:db8::1", "never \"seen\""});
    }

    // junkloupe-cli export over the window's items (and files, for the
    // formats that count them).
    QByteArray cliExport(const QString& format, int filter, bool decode) {
        const QString itemsFile = messages.file("items.lst");
        EXPECT_EQ(Save_List_File(items(), itemsFile, dialogs), 0);
        const QString out = messages.file("cli.out");
        QProcess cli;
        cli.start(QStringLiteral(JUNKLOUPE_BIN_DIR "/junkloupe-cli"),
                  QStringList{"export", "--format", format, "-i", itemsFile, "-f",
                              QString::number(filter), "-o", out} +
                      (decode ? QStringList{"-d"} : QStringList()) +
                      (format == "csv" || format == "json" ? paths : QStringList()));
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return messages.read("cli.out");
    }

    QStringList paths;
};

TEST_F(StatisticsExportTest, WritesWhatTheCommandLineWritesForTheViewChosen) {
    makePile();
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("statisticsPage"));
    const struct {
        const char* format;
        int filter;
        bool refreshFirst; // else the export counts the files itself
        bool decode = false;
    } cases[] = {
        {"spamassassin", 0, false}, {"spamassassin", 2, false}, {"postfix", 1, false},
        {"csv", 1, true},           {"csv", 2, false},          {"json", 0, false},
        {"csv", 2, true, true},     {"json", 2, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " under filter " + std::to_string(c.filter) +
                     (c.decode ? ", decoded" : ""));
        setOptions(3, c.filter, 3);
        form->workspace().setDecodeMime(c.decode);
        if (c.refreshFirst)
            button("refreshStatisticsButton")->click();
        const QString path = messages.file(QStringLiteral("window-%1-%2-%3.out")
                                               .arg(QString::fromLatin1(c.format))
                                               .arg(c.filter)
                                               .arg(c.decode));
        dialogs.clear();
        dialogs.chooseOneNext(QString::fromLatin1(c.format) + ':');
        dialogs.saveNext(path);
        exportButton()->click();
        EXPECT_EQ(dialogs.count(), 2u) << dialogs.texts().join('\n').toStdString();
        const QByteArray written = messages.read(QFileInfo(path).fileName());
        EXPECT_FALSE(written.isEmpty());
        EXPECT_EQ(written, cliExport(QString::fromLatin1(c.format), c.filter, c.decode));
        if (c.decode) { // d.eml counts only in its decoded text, and the JSON says so
            EXPECT_NE(written, cliExport(QString::fromLatin1(c.format), c.filter, false));
        }
        EXPECT_EQ(written.contains("\"decoded\": true"),
                  c.decode && QByteArray(c.format) == "json");
        EXPECT_FALSE(form->workspace().statisticsStale() &&
                     (QByteArray(c.format) == "csv" || QByteArray(c.format) == "json"))
            << "the table shows the numbers exported";
    }
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

TEST_F(StatisticsExportTest, AsksFormatThenFileAndCancelWritesNothing) {
    EXPECT_FALSE(exportButton()->statusTip().isEmpty());
    const auto& all = form->components();
    EXPECT_NE(std::find(all.begin(), all.end(), exportButton()), all.end());

    exportButton()->click();
    EXPECT_EQ(dialogs.texts(), QStringList{"Error: There are no interesting items to export."});

    items().insert("casino");
    dialogs.clear();
    dialogs.chooseOneNext(QString()); // the format not chosen
    exportButton()->click();
    dialogs.chooseOneNext("postfix:");
    dialogs.saveNext(QString()); // the file not chosen
    exportButton()->click();
    dialogs.chooseOneNext("csv:");
    dialogs.saveNext(messages.file("items.csv"));
    exportButton()->click();
    // The next export proposes the last file's folder and name, with the
    // suffix of the format chosen, and offers the last format first.
    dialogs.chooseOneNext(QString());
    exportButton()->click();
    dialogs.chooseOneNext("json:");
    dialogs.saveNext(QString());
    exportButton()->click();

    ASSERT_EQ(dialogs.count(), 8u) << dialogs.texts().join('\n').toStdString();
    const std::vector<Shown>& shown = dialogs.shown();
    EXPECT_EQ(shown[0].type, Shown::Type::Choice);
    EXPECT_TRUE(shown[0].text.startsWith("Export Interesting Items | Format : | spamassassin:"));
    EXPECT_TRUE(shown[0].text.endsWith(" | 0"));
    EXPECT_TRUE(shown[2].text.startsWith("Export Interesting Items As | "));
    EXPECT_TRUE(
        shown[2].text.contains("/junkloupe-items.regexp | Postfix regexp tables (*.regexp)"))
        << shown[2].text.toStdString();
    EXPECT_TRUE(shown[5].text.endsWith(" | 2")) << "the format chosen last";
    EXPECT_EQ(shown[7].text, "Export Interesting Items As | " + messages.file("items.json") +
                                 " | JSON files (*.json);;All files (*)");
    EXPECT_EQ(messages.read("items.csv"), "Kind,Item,Files\r\nother,casino,0\r\n");
    EXPECT_FALSE(QFileInfo::exists(messages.file("junkloupe-items.regexp")));
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

} // namespace
} // namespace jl::test
