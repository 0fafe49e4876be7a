// Files whose names the file list cannot hold: every command that fills the
// list (Files in Directory, a drop, the paths of the command line) tells the
// user once how many it left out, and says nothing when it left out none.

#include "app/command_line.h"
#include "support/window_fixture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace jl::test {
namespace {

const QString kUndecodable = "the name is not valid in the system's encoding";
const QString kLineBreak = "the name holds a line break";
const QString kSpecial = "it is a named pipe, a device or a socket";

class LeftOutTest : public WindowTest {
protected:
    void SetUp() override { shown(); }
    // The toolkit cannot name what it did not make: the raw names go first.
    void TearDown() override {
        for (qsizetype i = m_raw.size(); i-- > 0;)
            ::remove(m_raw[i].constData());
    }
    QByteArray rawDirectory(const QByteArray& name) {
        const QByteArray path = QFile::encodeName(program.path()) + name;
        EXPECT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData();
        m_raw.append(path);
        return path;
    }
    // A file under the program folder named by raw bytes; returns its full path.
    QByteArray rawFile(const QByteArray& name) {
        const QByteArray path = QFile::encodeName(program.path()) + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path.constData();
        if (fd >= 0) {
            EXPECT_EQ(::write(fd, "x\r\n", 3), 3);
            ::close(fd);
        }
        m_raw.append(path);
        return path;
    }
    // A file URL of raw bytes, escaped as the desktop sends it.
    static QUrl rawUrl(const QByteArray& path) {
        return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
    }
    void drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &event);
    }
    void commandLine(const QList<QByteArray>& arguments) {
        std::vector<QByteArray> copies = {"junkloupe"};
        copies.insert(copies.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        argv.reserve(copies.size());
        for (QByteArray& copy : copies)
            argv.push_back(copy.data());
        const CommandLine parsed = parseCommandLine(int(argv.size()), argv.data());
        form->dropCommandLinePaths(parsed.paths, parsed.undecodablePaths);
    }
    // Every box shown, information boxes as their text, other kinds marked.
    QStringList notices() const {
        QStringList texts;
        for (const Shown& shown : dialogs.shown()) {
            if (shown.type == Shown::Type::Information)
                texts.append(shown.text);
            else if (shown.type != Shown::Type::Directory)
                texts.append("not an information box: " + shown.text);
        }
        return texts;
    }

private:
    QList<QByteArray> m_raw;
};

TEST_F(LeftOutTest, EveryCommandCountsWhatItLeftOutInOneNotice) {
    // mixed/ holds one good name, two names that are not UTF-8 and one with a
    // line break; loose/ holds one of each kind outside it. A file named twice
    // in one command (in its folder and on its own) counts once.
    const QString good = message("mixed/good.eml", "x");
    const QByteArray mixedBad = rawFile("messages/mixed/\xff.eml");
    rawFile("messages/mixed/caf\xe9.eml");
    rawFile("messages/mixed/two\nlines.eml");
    const QString mixed = program.file("messages/mixed");
    const QString looseGood = message("loose/good.eml", "x");
    const QByteArray looseBad = rawFile("messages/loose/\xfe\xfd.eml");
    const QByteArray looseBreak = rawFile("messages/loose/one\rline.eml");
    const QString breakDir = program.mkdir("messages/dir\nname");
    message("dir\nname/a.eml", "x");
    message("dir\nname/b.eml", "x");
    const QByteArray badDir = rawDirectory("messages/\xc3(");
    rawFile("messages/\xc3(/inner.eml");

    // Named pipes, devices and sockets: a reader would block on them or read
    // for ever.
    const QByteArray pipe = QFile::encodeName(program.file("messages/loose/pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const QByteArray socketPath = QFile::encodeName(program.file("messages/loose/socket"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    const QByteArray linkToPipe = QFile::encodeName(program.file("messages/loose/link"));
    ASSERT_EQ(::symlink(pipe.constData(), linkToPipe.constData()), 0);

    auto notice = [](int undecodable, int lineBreak, int special = 0) {
        QStringList lines;
        auto line = [&lines](int files, const QString& reason) {
            if (files == 1)
                lines.append("1 file was left out of the list (" + reason + ").");
            else if (files > 1)
                lines.append(QString::number(files) + " files were left out of the list (" +
                             reason + ").");
        };
        line(special, kSpecial);
        line(lineBreak, kLineBreak);
        line(undecodable, kUndecodable);
        return lines.join('\n');
    };
    const struct {
        const char* command;
        std::function<void()> run;
        QStringList added;
        QString notice; // empty: no box
    } cases[] = {
        {"Files in Directory",
         [&] {
             dialogs.chooseNext(mixed);
             button("Add_All_Files_In_A_Directory_BitBtn")->click();
         },
         {good},
         notice(2, 1)},
        {"a drop of the folder", [&] { form->FormDropFiles({mixed}); }, {good}, notice(2, 1)},
        {"a drop of the folder and loose files",
         [&] {
             drop({QUrl::fromLocalFile(mixed), rawUrl(looseBad), rawUrl(looseBreak),
                   QUrl::fromLocalFile(breakDir), rawUrl(badDir), QUrl::fromLocalFile(looseGood)});
         },
         {looseGood, good},
         notice(4, 4)},
        {"the command line",
         [&] {
             commandLine({QFile::encodeName(mixed), looseBad, "file://" + looseBreak, badDir,
                          QFile::encodeName(looseGood),
                          QByteArray(mixedBad).replace("/mixed/", "//mixed/")});
         },
         {looseGood, good},
         notice(4, 2)},
        {"a drop of special files",
         [&] {
             drop({rawUrl(pipe), rawUrl(socketPath), rawUrl(linkToPipe), rawUrl("/dev/null"),
                   QUrl::fromLocalFile(looseGood)});
         },
         {looseGood},
         notice(0, 0, 4)},
        {"special files on the command line",
         [&] {
             commandLine({pipe, "/dev/null", socketPath, QFile::encodeName(looseGood)});
         },
         {looseGood},
         notice(0, 0, 3)},
        {"a drop with nothing left out",
         [&] { drop({QUrl::fromLocalFile(looseGood)}); },
         {looseGood},
         {}},
        {"the command line with nothing left out",
         [&] { commandLine({QFile::encodeName(looseGood)}); },
         {looseGood},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        files().clear();
        dialogs.clear();
        c.run();
        EXPECT_EQ(files().entries(), c.added);
        EXPECT_EQ(notices(), c.notice.isEmpty() ? QStringList() : QStringList{c.notice});
    }
}

} // namespace
} // namespace jl::test
