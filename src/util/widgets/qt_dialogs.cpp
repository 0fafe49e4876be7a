#include "util/widgets/qt_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace jl {

namespace {

QString& titleHolder() {
    static QString title;
    return title;
}

// A message box that shows the lines of its text as they are: the toolkit
// would wrap every line longer than about half the screen's width, so the
// text is given the width of its longest line, as far as the widest box the
// toolkit allows. Only a line longer than that is wrapped.
class LineKeepingMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        keepLines();
        QMessageBox::showEvent(event); // sizes the box for the text's width
    }

private:
    void keepLines() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !layout())
            return;
        label->setMinimumWidth(0);
        label->setWordWrap(true);
        layout()->activate();
        // What the box needs beside the text: icon, margins, spacing.
        const int besideText =
            layout()->totalMinimumSize().width() - label->minimumSizeHint().width();
        label->setWordWrap(false);
        const int longestLine = label->sizeHint().width();
        const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
        // The widest box the toolkit makes: the screen's width on a small
        // screen, else 480 pixels less, and never more than 1000.
        const int widest =
            screen.width() <= 1024 ? screen.width() : std::min(screen.width() - 480, 1000);
        label->setMinimumWidth(std::max(0, std::min(longestLine, widest - besideText)));
    }
};

int showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    LineKeepingMessageBox box(icon, applicationTitle(), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

// A directory dialog that accepts a typed directory which does not exist yet
// after asking, and then creates it with any missing parents.
class CreatingDirectoryDialog : public QFileDialog {
public:
    CreatingDirectoryDialog(QWidget* parent, const QString& start)
        : QFileDialog(parent, QStringLiteral("Select Directory"), start) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, true);
        // The toolkit's own dialog, so that accept() below sees the choice.
        setOption(QFileDialog::DontUseNativeDialog, true);
        setAcceptMode(QFileDialog::AcceptOpen);
        // The toolkit greys out "Choose" while the typed name is no existing
        // directory, by what its folder model has loaded so far; a name of
        // nothing must reach the question all the same. Whatever the toolkit
        // sets, and whenever, the button follows the typed name's rule.
        if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
            m_choose = buttons->button(QDialogButtonBox::Open);
        if (m_choose)
            m_choose->installEventFilter(this);
        if (auto* edit = nameEdit())
            connect(edit, &QLineEdit::textChanged, this, [this] { applyChooseRule(); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_choose && event->type() == QEvent::EnabledChange)
            applyChooseRule();
        return QFileDialog::eventFilter(watched, event);
    }

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QString& chosen = files.front();
            if (!chosen.isEmpty() && !QFileInfo(chosen).exists()) {
                if (showBox(this, QMessageBox::Question,
                            QStringLiteral("The specified directory does not exist. Create it?"),
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes)
                    return; // the dialog stays open
                if (!QDir().mkpath(chosen)) {
                    showBox(this, QMessageBox::Critical,
                            QStringLiteral("The directory ") + chosen +
                                QStringLiteral(" could not be created."),
                            QMessageBox::Ok, QMessageBox::Ok);
                    return;
                }
                setDirectory(QFileInfo(chosen).absolutePath());
                selectFile(chosen);
            }
        }
        QFileDialog::accept();
    }

private:
    QLineEdit* nameEdit() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    // With a name typed, "Choose" is grey only when the name is that of a
    // file: a directory is chosen, a name of nothing makes accept() ask
    // whether to create it. The name is taken from the folder shown, as the
    // dialog takes it. An empty name is left to the toolkit.
    void applyChooseRule() {
        const QLineEdit* edit = nameEdit();
        if (!m_choose || m_applying || !edit || edit->text().isEmpty())
            return;
        const QFileInfo typed(directory().absoluteFilePath(edit->text()));
        const bool usable = !typed.exists() || typed.isDir();
        if (m_choose->isEnabled() != usable) {
            m_applying = true;
            m_choose->setEnabled(usable);
            m_applying = false;
        }
    }

    QPointer<QPushButton> m_choose;
    bool m_applying = false; // our own change of the button
};

} // namespace

void setApplicationTitle(const QString& title) {
    titleHolder() = title;
}

QString applicationTitle() {
    const QString& title = titleHolder();
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

void QtDialogs::message(MessageKind kind, const QString& text) {
    showBox(m_parent, kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
            text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::ask(QuestionKind kind, const QString& text) {
    const QMessageBox::Icon icon =
        kind == QuestionKind::Confirmation ? QMessageBox::Question : QMessageBox::Warning;
    return showBox(m_parent, icon, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

QString QtDialogs::chooseDirectory(const QString& startDirectory) {
    CreatingDirectoryDialog dialog(m_parent, startDirectory);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

QString QtDialogs::chooseSaveFile(const QString& title, const QString& proposedPath,
                                  const QString& nameFilter) {
    // The toolkit's own dialog, like the directory chooser: its title is the
    // one given, and it asks before an existing file is replaced.
    QFileDialog dialog(m_parent, title, proposedPath, nameFilter);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

int QtDialogs::chooseOne(const QString& title, const QString& label, const QStringList& choices,
                         int current) {
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(choices);
    dialog.setComboBoxEditable(false);
    if (current >= 0 && current < choices.size())
        dialog.setTextValue(choices.at(current));
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return int(choices.indexOf(dialog.textValue()));
}

QString SystemClipboard::text() const {
    return QGuiApplication::clipboard()->text();
}

void SystemClipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

} // namespace jl
