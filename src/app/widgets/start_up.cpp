#include "app/widgets/start_up.h"

#include "about/widgets/app_icon.h"
#include "app/command_line.h"
#include "app/widgets/main_form.h"
#include "desktop/desktop_services.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/program_folder.h"
#include "util/widgets/qt_dialogs.h"

#include <QApplication>

#include <memory>

namespace jl {

namespace {

// The dialogs service of the running program: Qt boxes parented to the main
// window, which exists only after the service is handed to it.
class WindowDialogs : public Dialogs {
public:
    void setWindow(QWidget* window) { m_real = std::make_unique<QtDialogs>(window); }
    void message(MessageKind kind, const QString& text) override { real().message(kind, text); }
    bool ask(QuestionKind kind, const QString& text) override { return real().ask(kind, text); }
    QString chooseDirectory(const QString& start) override { return real().chooseDirectory(start); }

private:
    QtDialogs& real() {
        if (!m_real)
            m_real = std::make_unique<QtDialogs>(nullptr);
        return *m_real;
    }
    std::unique_ptr<QtDialogs> m_real;
};

} // namespace

int runJunkloupe(QApplication& app, const CommandLine& commandLine) {
    // The tool's icon on every window; the desktop matches the windows with
    // the menu entry junkloupe.desktop.
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("junkloupe"));
    WindowDialogs dialogs;
    SystemClipboard clipboard;
    DesktopServices desktop; // autostart folder, desktop entries, xdg-open of this session
    // Where the user's files are kept is decided here, once for the run.
    TMainForm1 form(ProgramFolder::ofExecutable(), dialogs, clipboard, desktop);
    dialogs.setWindow(&form);
    // The start-up show command applies at every first show; the paths are
    // handled once, after the first.
    form.setStartUpShowCommand(commandLine.show);
    form.show();
    form.dropCommandLinePaths(commandLine.paths);

    if (!commandLine.screenshot.isEmpty()) {
        // A picture of the window as it stands after the first show; nothing
        // is saved, since the window is never asked to close.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return form.grab().save(commandLine.screenshot) ? 0 : 1;
    }
    return app.exec();
}

} // namespace jl
