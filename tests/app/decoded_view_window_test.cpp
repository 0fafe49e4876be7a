// The decoded view through the window: the text it shows is the text
// junkloupe-cli view -d prints, an item collected from a decoded body is
// found where the next message carries it encoded, and the tick is a setting.

#include "items_fixture.h"

#include "util/list_ops.h"

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace jl::test {
namespace {

const QByteArray kReceived = "Received: from relay.example\r\n\tby mx.example\r\n"
                             "Message-ID: <1@relay.example>\r\n";
const QByteArray kMultipart =
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n";

// One message per kind of encoded text and per fault the decoder meets.
const struct Sample {
    const char* name;
    QByteArray bytes;
} kSamples[] = {
    {"encoded words",
     "Received: from relay.example\r\n"
     "Subject: =?utf-8?B?WW91ciBhY2NvdW50IOKckw==?= and =?iso-8859-1?Q?caf=E9?=\r\n"
     "From: =?windows-1252?Q?=93Bank=94?= <x@bank.example>\r\n"
     "Message-ID: <=?utf-8?Q?id?=@relay.example>\r\n\r\nhello\r\n"},
    {"quoted-printable text in latin-1",
     kReceived + "Content-Type: text/plain; charset=iso-8859-1\r\n"
                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                 "Please do =\r\nnot=20click <b=\r\nr> caf=E9 http://a.example/?q=3D1\r\n"},
    {"base64 html and koi8-r text",
     kReceived + kMultipart +
         "\r\n--B\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
         "base64\r\n"
         "\r\nPGEgaHJlZj0iaHR0cDovL2guZXhhbXBsZS8iPmvDtg0Kc2Vjb25kIGxpbmU=\r\n"
         "--B\r\nContent-Type: text/plain; charset=koi8-r\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n0NLJ18XU\r\n--B--\r\n"},
    {"other parts named",
     kReceived + kMultipart +
         "\r\n--B\r\nContent-Type: image/png; name=\"logo.png\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\niVBORw0KGgoAAAANSUhEUg==\r\n"
         "--B\r\nContent-Type: application/octet-stream\r\n"
         "Content-Disposition: attachment; filename=\"invoice.exe\"\r\n\r\nMZ\x90\r\n--B--\r\n"},
    {"forwarded message",
     kReceived + kMultipart +
         "\r\n--B\r\nContent-Type: message/rfc822\r\n\r\n"
         "Received: from inner.example\r\nSubject: =?utf-8?Q?inner_=E2=82=AC?=\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\naW5uZXIgYm9keQ==\r\n--B--\r\n"},
    {"boundary that never comes",
     kReceived + kMultipart + "\r\n--C\r\nContent-Transfer-Encoding: base64\r\n\r\naGk=\r\n"},
    {"closing boundary missing",
     kReceived + kMultipart +
         "\r\n--B\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\ncut=\r\n here\r\n"},
    {"bad base64", kReceived + "Content-Transfer-Encoding: base64\r\n\r\naGVs!!bG8g*d29y bGQ=\r\n"},
    {"unknown charset", kReceived +
                            "Content-Type: text/plain; charset=x-no-such-set\r\n"
                            "Content-Transfer-Encoding: quoted-printable\r\n\r\nabc=E9=C3=A9\r\n"},
    {"lone carriage returns in quoted-printable",
     kReceived + "Content-Transfer-Encoding: quoted-printable\r\n\r\none\rtwo=\rthree=0D\r\n"},
    {"no header at all", "=?utf-8?B?aGk=?=\r\n\x01\x02 binary\r\n"},
};

class DecodedViewTest : public HarvestWindowTest {
protected:
    QCheckBox* decodeBox() const { return control<QCheckBox>("decodeMimeCheckBox"); }
    void show(int index) {
        Select_List_Index(files(), index);
        form->Process_The_Selected_File_BitBtnClick();
    }
    // What junkloupe-cli view prints for path, without its last line end.
    static QString cliView(const QStringList& options, const QString& path) {
        QProcess cli;
        cli.start(QStringLiteral(JUNKLOUPE_BIN_DIR "/junkloupe-cli"),
                  QStringList{QStringLiteral("view")} << options << path);
        EXPECT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        QString text = QString::fromUtf8(cli.readAllStandardOutput());
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        return text;
    }
};

TEST_F(DecodedViewTest, WindowShowsWhatTheCommandLineShows) {
    EXPECT_FALSE(decodeBox()->isChecked()); // off by default
    decodeBox()->setChecked(true);
    QStringList paths;
    for (const Sample& sample : kSamples) {
        paths << message(QString::fromLatin1(sample.name), sample.bytes);
        files().insert(paths.last());
    }
    for (const int filter : {0, 1, 2}) {
        setOptions(3, filter, 3);
        for (const QString& path : paths) {
            SCOPED_TRACE(path.toStdString() + ", view filter " + std::to_string(filter));
            show(files().indexOfExact(path));
            EXPECT_EQ(viewText(), cliView({"-d", QStringLiteral("--filter=%1").arg(filter)}, path));
        }
    }
}

// The link's host name is cut by a soft line break in the first message and
// lies in base64 in the second: collected from the decoded view, it is found
// in the second message by the scan and the colour coding.
TEST_F(DecodedViewTest, ItemCollectedFromADecodedBodyIsFoundWhereItIsEncoded) {
    const QString host = QStringLiteral("login.bank-secure.example");
    // <a href="http://login.bank-secure.example/x">Log in</a>
    const QStringList paths = {
        message("1", kReceived +
                         "Content-Type: text/html\r\n"
                         "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                         "<a href=3D\"http://login.bank-se=\r\ncure.example/x\">Log in</a>\r\n"),
        message(
            "2",
            kReceived + kMultipart +
                "\r\n--B\r\nContent-Type: text/html\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n"
                "PGEgaHJlZj0iaHR0cDovL2xvZ2luLmJhbmstc2VjdXJlLmV4YW1wbGUveCI+TG9nIGluPC9hPg==\r\n"
                "--B--\r\n"),
        message("3", kReceived + "\r\nnothing here\r\n"),
    };
    for (const QString& path : paths)
        files().insert(path);
    items().clear();
    decodeBox()->setChecked(true);
    show(0);
    const int at = int(viewText().indexOf(host));
    ASSERT_GE(at, 0) << viewText().toStdString();
    view()->setSelectionStart(at);
    view()->setSelectionLength(int(host.size()));
    button("Interesting_Items_Add_Selected_Text_BitBtn")->click();
    ASSERT_EQ(items().entries(), QStringList{host});
    EXPECT_TRUE(isRed(at));

    show(1);
    EXPECT_TRUE(isRed(int(viewText().indexOf(host))));
    // The scan passes over the message that carries the item encoded; read
    // as it stands, that message holds none and the scan stops there.
    for (const bool decode : {true, false}) {
        decodeBox()->setChecked(decode);
        show(0);
        button("BitBtn1")->click();
        EXPECT_EQ(current(), decode ? 2 : 1) << "decoded " << decode;
    }
}

TEST_F(DecodedViewTest, TheTickShowsTheMessageAgainStalesTheCountsAndIsASetting) {
    const QString path =
        message("m", kReceived + "Content-Transfer-Encoding: base64\r\n\r\naGlkZGVu\r\n");
    files().insert(path);
    show(0);
    EXPECT_FALSE(viewText().contains("hidden"));
    button("refreshStatisticsButton")->click();
    auto* summary = control<QLabel>("statisticsSummary");
    EXPECT_FALSE(summary->text().contains("Out of date"));

    decodeBox()->setChecked(true);
    EXPECT_TRUE(viewText().contains("hidden"));
    EXPECT_TRUE(summary->text().contains("Out of date"));
    button("refreshStatisticsButton")->click();
    EXPECT_TRUE(summary->text().endsWith(", MIME parts decoded.")) << summary->text().toStdString();

    ASSERT_TRUE(form->close());
    EXPECT_TRUE(program.read("Junkloupe.ini").contains("\r\ndecodeMimeParts=1\r\n"));
    open();
    EXPECT_TRUE(decodeBox()->isChecked());
    EXPECT_TRUE(viewText().contains("hidden"));
}

} // namespace
} // namespace jl::test
