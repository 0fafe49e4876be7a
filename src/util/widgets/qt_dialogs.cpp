#include "util/widgets/qt_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace jl {

namespace {

QString title() {
    return QGuiApplication::applicationDisplayName();
}

int showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title(), text, buttons, parent);
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
    }

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QString chosen = files.front();
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
};

} // namespace

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

QString SystemClipboard::text() const {
    return QGuiApplication::clipboard()->text();
}

void SystemClipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

} // namespace jl
