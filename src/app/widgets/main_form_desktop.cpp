// The desktop commands of the File and Help menus (auto-run at login,
// shortcuts, the companion documents), the start-up check of the auto-run
// entry, and the About dialog.

#include "app/widgets/main_form.h"

#include "about/widgets/about_box.h"
#include "desktop/auto_run.h"
#include "desktop/companion_documents.h"
#include "desktop/desktop_services.h"
#include "desktop/shortcuts.h"
#include "util/dialogs.h"
#include "util/failure.h"

#include <QAction>

namespace jl {

Registry& TMainForm1::registry() {
    return m_desktop.registry();
}

LinkWriter& TMainForm1::linkWriter() {
    return m_desktop.linkWriter();
}

DocumentOpener& TMainForm1::documentOpener() {
    return m_desktop.opener();
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

// --- the About dialog -----------------------------------------------------------------

TAboutBox* TMainForm1::AboutBox() {
    if (!m_aboutBox)
        m_aboutBox = new TAboutBox(this);
    return m_aboutBox;
}

void TMainForm1::setAboutBox(TAboutBox* box) {
    m_aboutBox = box;
}

void TMainForm1::fillAboutTextsStep() {
    AboutBox()->setProductTexts();
}

void TMainForm1::AboutOptionClick() {
    AboutBox()->exec();
}

} // namespace jl
