// Files and directories dropped on the window: through FormDropFiles, through
// real drag-and-drop events aimed at child controls, and as paths given on the
// command line.

#include "support/window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace jl::test {
namespace {

class DropTest : public WindowTest {
protected:
    void SetUp() override {
        shown();
        group("File_Contents_Filter_RadioGroup")->setItemIndex(1);
    }
    QString mail(const QString& name) {
        return message(name, "Received: from " + name.toUtf8() + "\r\nMessage-ID: <1>\r\n");
    }
    // A marker in the view tells whether anything was processed since.
    void markView() {
        view()->clearText();
        view()->appendLine(QStringLiteral("marker"));
    }
    QString currentText() { return Get_First_Selected_Text(files()); }
};

TEST_F(DropTest, SamePathAddsNothingButNamesInOtherCaseAreOtherFiles) {
    const QString path = mail("Mixed.eml");
    files().insert(path);
    Select_List_Index(files(), 0);
    markView();
    form->FormDropFiles({path});
    EXPECT_EQ(files().entries(), QStringList({path}));
    EXPECT_EQ(current(), 0);
    EXPECT_TRUE(viewText().contains("from Mixed.eml"));

    // Spam.eml, spam.eml and SPAM.EML are three files here.
    const QStringList spams = {mail("case/Spam.eml"), mail("case/spam.eml"), mail("case/SPAM.EML")};
    form->FormDropFiles({program.file("messages/case")});
    EXPECT_EQ(files().count(), 4);
    for (const QString& spam : spams)
        EXPECT_GE(files().indexOfExact(spam), 0) << qPrintable(spam);
    form->FormDropFiles({spams[1], program.file("messages/case/")});
    EXPECT_EQ(files().count(), 4);
    EXPECT_EQ(currentText(), path);
}

TEST_F(DropTest, DropOntoAnEmptyListShowsTheFirstInSortedOrder) {
    const QString b = mail("b.eml");
    const QString a = mail("a.eml");
    form->FormDropFiles({b, a});
    EXPECT_EQ(files().entries(), QStringList({a, b}));
    EXPECT_EQ(currentText(), a);
    EXPECT_TRUE(viewText().contains("from a.eml"));
    EXPECT_EQ(caption(), "File 1 of 2 :  a.eml ");
}

TEST_F(DropTest, DirectoryGivesItsOwnFilesOnlyAndOnce) {
    const QString plain = mail("dir/plain.eml");
    const QString hidden = mail("dir/.hidden");
    const QString readOnly = mail("dir/readonly.eml");
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    mail("dir/sub/deeper.eml");
    const QString dir = program.file("messages/dir");

    // The directory together with a file inside it: that file comes once.
    form->FormDropFiles({dir, plain});
    EXPECT_EQ(files().entries(), QStringList({dir + "/.hidden", plain, readOnly}));
    EXPECT_EQ(currentText(), hidden);
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(DropTest, NamesOfNothingChangeNothing) {
    markView();
    form->FormDropFiles({program.file("missing.eml"), QString(), ".", "..", "/no/such/dir/"});
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(viewText(), "marker");
    EXPECT_EQ(dialogs.count(), 0u);

    // On a list with entries, the selected file is shown again all the same.
    const QString a = mail("a.eml");
    files().insert(a);
    Select_List_Index(files(), 0);
    markView();
    form->FormDropFiles({program.file("missing.eml")});
    EXPECT_EQ(files().entries(), QStringList({a}));
    EXPECT_TRUE(viewText().contains("from a.eml"));
}

TEST_F(DropTest, SelectedFileStaysSelectedWhenEntriesSortInBeforeIt) {
    const QString m = mail("m.eml");
    const QString z = mail("z.eml");
    files().insert(m);
    files().insert(z);
    Select_List_Index(files(), 1);
    form->FormDropFiles({mail("a.eml"), mail("b.eml")});
    EXPECT_EQ(files().count(), 4);
    EXPECT_EQ(currentText(), z);
    EXPECT_EQ(current(), 3);
    EXPECT_TRUE(viewText().contains("from z.eml"));

    // With nothing selected before, entry 0 is chosen.
    files().clearSelection();
    form->FormDropFiles({});
    EXPECT_EQ(current(), 0);
}

TEST_F(DropTest, LongNamesAreUsedWhole) {
    // Longer than 255 characters: a cut would name another file.
    const QString deep = QString(120, 'd') + "/" + QString(120, 'e') + "/";
    const QString path = mail(deep + "long-name.eml");
    ASSERT_GT(path.size(), 255);
    form->FormDropFiles({path});
    EXPECT_EQ(files().entries(), QStringList({path}));
    EXPECT_TRUE(viewText().contains("from " + deep + "long-name.eml"));
}

// A drag that enters a control and is dropped there, as the desktop delivers
// it: the control under the pointer gets the events first.
bool dragAndDrop(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

TEST_F(DropTest, DropsOnChildControlsReachTheWindow) {
    QWidget* targets[] = {view()->viewport(),
                          control<SortedListBox>("File_List_ListBox")->viewport(),
                          control<SortedListBox>("Interesting_Items_ListBox")->viewport(),
                          button("Next_File_BitBtn"), control<QLabel>("ToolTip_Panel")};
    int n = 0;
    for (QWidget* target : targets) {
        SCOPED_TRACE(qPrintable(target->objectName() + "/" + target->parentWidget()->objectName()));
        const QString path = mail(QStringLiteral("child%1.eml").arg(n++));
        EXPECT_TRUE(dragAndDrop(target, {path}));
        EXPECT_GE(Find_List_Item(files(), path), 0);
    }
    EXPECT_EQ(files().count(), n);
    // The read-only view took nothing in itself.
    EXPECT_FALSE(viewText().contains("file://"));
    EXPECT_TRUE(viewText().contains("from child0.eml"));
}

TEST_F(DropTest, CommandLinePathsAreDroppedOnceAfterTheFirstShow) {
    const QString a = mail("a.eml");
    mail("dir/b.eml");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(program.path());
    form->dropCommandLinePaths({"messages/dir", "messages/../messages/a.eml"});
    QDir::setCurrent(previous);
    EXPECT_EQ(files().entries(), QStringList({a, program.file("messages/dir/b.eml")}));
    EXPECT_EQ(currentText(), a);
    EXPECT_TRUE(viewText().contains("from a.eml"));

    // No paths: nothing is processed.
    markView();
    form->dropCommandLinePaths({});
    EXPECT_EQ(viewText(), "marker");
}

} // namespace
} // namespace jl::test
