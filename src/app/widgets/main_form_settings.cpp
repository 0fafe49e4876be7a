// The settings file and the steps of the first-show sequence that read and
// apply it, the start-up show command, the desktop commands of the File and
// Help menus, the About dialog, dropped files and the command line.

#include "app/widgets/main_form.h"

#include "about/widgets/about_box.h"
#include "app/settings.h"
#include "app/widgets/radio_group.h"
#include "desktop/auto_run.h"
#include "desktop/companion_documents.h"
#include "desktop/freedesktop_registry.h"
#include "desktop/shortcuts.h"
#include "filelist/file_enumeration.h"
#include "util/dialogs.h"
#include "util/failure.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include <cstdio>

namespace jl {

namespace {

// The real services of this desktop, made when a window is given none.
struct RealDesktopServices {
    FreedesktopRegistry registry;
    DesktopEntryLinkWriter linkWriter;
    DetachedProcessLauncher launcher;
    DocumentOpener opener{launcher, qEnvironmentVariable("PATH")};
};

// The part of a window's outer frame that its inner geometry leaves out.
QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// The settings file holds the outer size of the window, but a window can
// only be given its inner size. Before a window manager has put its frame
// around the window the frame counts as nothing; this keeper gives the window
// the stored outer size again once the frame becomes known. It goes when it
// has done so, when anything else sizes the window, or when the window leaves
// its normal state.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget* window, QSize outer)
        : QObject(window), m_window(window), m_outer(outer), m_margins(frameMargins(*window)) {
        setObjectName(QStringLiteral("OuterSizeKeeper"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::WindowStateChange:
            deleteLater();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show: {
            if (m_window->windowState() != Qt::WindowNoState)
                break;
            const QMargins margins = frameMargins(*m_window);
            if (margins != m_margins) {
                m_margins = margins;
                m_window->resize(m_outer.shrunkBy(margins));
                deleteLater();
            } else if (event->type() == QEvent::Resize &&
                       m_window->size() != m_outer.shrunkBy(margins)) {
                deleteLater();
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    QWidget* m_window;
    QSize m_outer;
    QMargins m_margins;
};

} // namespace

// --- services ------------------------------------------------------------------------

void TMainForm1::setDesktopServices(const DesktopServices& services) {
    m_desktop = services;
}

void TMainForm1::ensureDesktopServices() {
    if (m_desktop.registry && m_desktop.linkWriter && m_desktop.documentOpener)
        return;
    if (!m_realDesktop)
        m_realDesktop = std::make_shared<RealDesktopServices>();
    auto* real = static_cast<RealDesktopServices*>(m_realDesktop.get());
    if (!m_desktop.registry)
        m_desktop.registry = &real->registry;
    if (!m_desktop.linkWriter)
        m_desktop.linkWriter = &real->linkWriter;
    if (!m_desktop.documentOpener)
        m_desktop.documentOpener = &real->opener;
}

Registry& TMainForm1::registry() {
    ensureDesktopServices();
    return *m_desktop.registry;
}

LinkWriter& TMainForm1::linkWriter() {
    ensureDesktopServices();
    return *m_desktop.linkWriter;
}

DocumentOpener& TMainForm1::documentOpener() {
    ensureDesktopServices();
    return *m_desktop.documentOpener;
}

TAboutBox* TMainForm1::AboutBox() {
    if (!m_aboutBox)
        m_aboutBox = new TAboutBox(this);
    return m_aboutBox;
}

void TMainForm1::setAboutBox(TAboutBox* box) {
    m_aboutBox = box;
}

// --- steps of the first-show sequence ----------------------------------------------

void TMainForm1::readSettingsStep() {
    const SettingsValues v = readSettings(m_programFolder.settingsFile());

    // The stored numbers describe the outer frame; move() places the frame,
    // resize() sizes what lies inside it.
    const QMargins margins = frameMargins(*this);
    const int extraWidth = margins.left() + margins.right();
    const int extraHeight = margins.top() + margins.bottom();
    move(pos().x(), v.windowTop);
    move(v.windowLeft, pos().y());
    resize(v.windowWidth - extraWidth, height());
    resize(width(), v.windowHeight - extraHeight);
    delete findChild<QObject*>(QStringLiteral("OuterSizeKeeper"), Qt::FindDirectChildrenOnly);
    new OuterSizeKeeper(this, QSize(v.windowWidth, v.windowHeight));

    Always_On_Top_Option->setChecked(v.alwaysOnTop);
    Auto_Run_at_Windows_Startup_Option->setChecked(v.autoRunAtStartup);
    setSavedMaximised(v.maximized);
    Current_Directory_Edit->setText(v.currentDirectory);
    // A group whose choice changes runs its click command, as a user's click.
    File_Contents_Filter_RadioGroup->setItemIndex(v.viewFilter);
    Expand_Selection_RadioGroup->setItemIndex(v.expandSelection);
    File_Contents_Colour_Coding_RadioGroup->setItemIndex(v.colourCoding);
    setSavedFileNumber(v.selectedFileNum);
    Auto_Save_Interesting_Items_List_CheckBox->setChecked(v.autoSaveInterestingItems);
}

void TMainForm1::fillAboutTextsStep() {
    AboutBox()->setProductTexts();
}

void TMainForm1::applyStartUpShowCommand() {
    switch (m_startUpShow) {
    case StartUpShow::Normal:
        showNormal();
        break;
    case StartUpShow::Minimized:
        showMinimized();
        break;
    case StartUpShow::Maximized:
        showMaximized();
        break;
    }
}

void TMainForm1::applyMaximisedState() {
    if (savedMaximised())
        showMaximized();
}

void TMainForm1::applyAlwaysOnTopStep() {
    // The toggle inverts the tick back and puts the window in its band.
    Always_On_Top_Option->setChecked(!Always_On_Top_Option->isChecked());
    Toggle_Always_On_Top();
}

void TMainForm1::checkAutoRunStep() {
    bool entry = false;
    try {
        entry =
            REGISTRY_INC__Check_Auto_Run(registry(), m_dialogs, m_programFolder.executableName(),
                                         m_programFolder.executablePath());
    } catch (const Failure& failure) {
        // Something unreadable stands under the program's name, or its
        // rewrite was refused: an entry is there either way. Reported like
        // any failure, but the first show goes on, or the lists would not be
        // loaded and the next close would save them empty.
        m_dialogs.error(failure.text() + QLatin1Char('.'));
        entry = true;
    }
    Auto_Run_at_Windows_Startup_Option->setChecked(entry);
}

// --- the close -------------------------------------------------------------------------

bool TMainForm1::writeSettingsStep() {
    SettingsValues v;
    // The geometry written is the normal one, also of a maximised or
    // minimised window; it is taken before the window is restored, since a
    // window manager answers the restore only later.
    v.maximized = isMaximized();
    const QRect outer = normalGeometry().marginsAdded(frameMargins(*this));
    if (v.maximized)
        setWindowState(windowState() & ~Qt::WindowMaximized);
    v.windowTop = outer.top();
    v.windowLeft = outer.left();
    v.windowWidth = outer.width();
    v.windowHeight = outer.height();
    v.alwaysOnTop = Always_On_Top_Option->isChecked();
    v.autoRunAtStartup = Auto_Run_at_Windows_Startup_Option->isChecked();
    v.currentDirectory = Current_Directory_Edit->text();
    v.viewFilter = File_Contents_Filter_RadioGroup->itemIndex();
    v.expandSelection = Expand_Selection_RadioGroup->itemIndex();
    v.colourCoding = File_Contents_Colour_Coding_RadioGroup->itemIndex();
    v.selectedFileNum = Get_First_Selected_Index(File_List_ListBox->list());
    v.autoSaveInterestingItems = Auto_Save_Interesting_Items_List_CheckBox->isChecked();

    const QString path = m_programFolder.settingsFile();
    if (!writeSettings(path, v)) {
        m_dialogs.error(unableToWriteMessage(path));
        return false;
    }
    return true;
}

// --- commands ------------------------------------------------------------------------

void TMainForm1::Restore_Factory_Defaults_OptionClick() {
    if (!Restore_Factory_Defaults(m_dialogs, m_programFolder.settingsFile()))
        return;
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    FormShow();
}

void TMainForm1::Auto_Run_at_Windows_Startup_OptionClick() {
    Auto_Run_at_Windows_Startup_Option->setChecked(jl::Auto_Run_at_Windows_Startup_OptionClick(
        registry(), m_dialogs, Auto_Run_at_Windows_Startup_Option->isChecked(),
        m_programFolder.executableName(), m_programFolder.executablePath()));
}

void TMainForm1::Create_Shortcut_on_Desktop_OptionClick() {
    REGISTRY_INC__Create_Shortcut(registry(), m_dialogs, linkWriter(),
                                  m_programFolder.executablePath(), QStringLiteral("Desktop"),
                                  QString());
}

void TMainForm1::Create_Shortcut_on_Start_Menu_OptionClick() {
    REGISTRY_INC__Create_Shortcut(registry(), m_dialogs, linkWriter(),
                                  m_programFolder.executablePath(), QStringLiteral("Start Menu"),
                                  QString());
}

void TMainForm1::Create_Shortcut_on_Start_Programs_Menu_OptionClick() {
    REGISTRY_INC__Create_Shortcut(registry(), m_dialogs, linkWriter(),
                                  m_programFolder.executablePath(), QStringLiteral("Start Menu"),
                                  QStringLiteral("Programs"));
}

void TMainForm1::Create_Shortcut_on_SendTo_Menu_OptionClick() {
    REGISTRY_INC__Create_Shortcut(registry(), m_dialogs, linkWriter(),
                                  m_programFolder.executablePath(), QStringLiteral("SendTo"),
                                  QString());
}

void TMainForm1::Delete_All_Shortcuts_OptionClick() {
    REGISTRY_INC__Delete_All_Shortcuts(registry(), m_dialogs, m_programFolder.executablePath(),
                                       true);
}

void TMainForm1::View_Readme_file_OptionClick() {
    View_Readme_File(documentOpener(), m_dialogs, m_programFolder.directory(),
                     m_programFolder.executableName());
}

void TMainForm1::View_Shareware_Catalog_OptionClick() {
    View_Shareware_Catalog(documentOpener(), m_dialogs, m_programFolder.directory(),
                           AboutBox()->productName());
}

void TMainForm1::AboutOptionClick() {
    AboutBox()->exec();
}

// --- dropped files ------------------------------------------------------------------------

void TMainForm1::FormDropFiles(const QStringList& names) {
    SortedList& files = File_List_ListBox->list();
    const QString remembered = Get_First_Selected_Text(files);

    // Names are used whole: a cut at some length would turn a long path into
    // another, wrong one.
    AddFilesOptions options = fileListOptions();
    if (Processing_File_Name_Label->isVisible())
        options.progress = [this](const QString& name) {
            Processing_File_Name_Label->setText(name);
        };
    options.pumpEvents = [] { QCoreApplication::processEvents(); };
    options.stop = [this] { return Abort_All_Processing_CheckBox->isChecked(); };
    dropNamesIntoList(files, names, options);

    if (!files.isEmpty()) {
        if (!remembered.isEmpty())
            Select_Matching_Item(files, remembered);
        else
            Select_List_Index(files, 0);
        Process_The_Selected_File_BitBtnClick();
    }
    QCoreApplication::processEvents();
}

void TMainForm1::dropCommandLinePaths(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).absoluteFilePath());
    runCommand([&] { FormDropFiles(names); });
}

// --- the command line -----------------------------------------------------------------------

namespace {

// Options of the toolkit itself, which it takes out of the command line when
// the application starts; they are let through untouched before that.
const QStringList kToolkitOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),     QStringLiteral("icon"),
    QStringLiteral("display"),         QStringLiteral("name"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("session"),         QStringLiteral("qmljsdebugger")};
const QStringList kToolkitFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("testability")};

bool parseShowValue(const QString& value, StartUpShow* show) {
    const QString v = value.toLower();
    if (v == QLatin1String("normal"))
        *show = StartUpShow::Normal;
    else if (v == QLatin1String("minimized") || v == QLatin1String("minimised"))
        *show = StartUpShow::Minimized;
    else if (v == QLatin1String("maximized") || v == QLatin1String("maximised"))
        *show = StartUpShow::Maximized;
    else
        return false;
    return true;
}

// A path as a file manager may hand it over: a plain path or a file URL.
QString pathArgument(const QString& argument) {
    if (argument.startsWith(QLatin1String("file://"))) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return argument;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    auto fail = [&result](const QString& error) {
        result.action = CommandLine::Action::Error;
        result.error = error;
        return result;
    };
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool isOption =
            !optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
        if (!isOption) {
            result.paths.append(pathArgument(argument));
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action = CommandLine::Action::Help;
            return result;
        }
        // --show=STATE or --show STATE
        if (argument == QLatin1String("--show") || argument.startsWith(QLatin1String("--show="))) {
            QString value;
            if (argument.contains(QLatin1Char('='))) {
                value = argument.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return fail(QStringLiteral("option '--show' needs a value"));
            }
            if (!parseShowValue(value, &result.show))
                return fail(QStringLiteral("'%1' is not a window state for '--show'").arg(value));
            continue;
        }
        // A picture of the window for the documentation (not in the usage).
        if (argument == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("option '--screenshot' needs a file name"));
            result.screenshot = arguments[++i];
            continue;
        }
        // The toolkit's own options, "-name value", "--name value" or "-name=value".
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool inlineValue = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (kToolkitOptionsWithValue.contains(name)) {
            if (!inlineValue && name != QLatin1String("qmljsdebugger"))
                ++i;
            continue;
        }
        if (kToolkitFlags.contains(name) && !inlineValue)
            continue;
        return fail(QStringLiteral("unknown option '%1'").arg(argument));
    }
    return result;
}

QString commandLineUsage(const QString& program) {
    return QStringLiteral(
               "Usage: %1 [--show=normal|minimized|maximized] [PATH...]\n"
               "\n"
               "Steps through junk e-mail messages saved one per file, shows the part of each\n"
               "message you choose and gathers their tell-tale strings in one sorted list.\n"
               "\n"
               "  PATH...          message files or directories to add to the file list, as\n"
               "                   if they were dropped on the window\n"
               "  --show=STATE     how the window first appears: normal (the default),\n"
               "                   minimized or maximized\n"
               "  -h, --help       show this help and exit\n")
        .arg(program);
}

int commandLineExitStatus(const QStringList& arguments) {
    const CommandLine commandLine = parseCommandLine(arguments);
    const QString program =
        arguments.isEmpty() ? QStringLiteral("junkloupe") : QFileInfo(arguments[0]).fileName();
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::Help:
        std::fputs(commandLineUsage(program).toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(QStringLiteral("%1: %2\n\n%3")
                       .arg(program, commandLine.error, commandLineUsage(program))
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return 2;
    }
    return -1;
}

int commandLineExitStatus(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return commandLineExitStatus(arguments);
}

} // namespace jl
