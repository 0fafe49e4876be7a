// The settings file, the steps of the first-show sequence that read it and
// apply it, the desktop commands, the About dialog and dropped files.

#include "app/widgets/main_form.h"

namespace jl {

// --- steps of the first-show sequence ----------------------------------------------

void TMainForm1::readSettingsStep() {}

void TMainForm1::fillAboutTextsStep() {}

void TMainForm1::applyStartUpShowCommand() {}

void TMainForm1::applyMaximisedState() {}

void TMainForm1::applyAlwaysOnTopStep() {}

void TMainForm1::checkAutoRunStep() {}

bool TMainForm1::writeSettingsStep() {
    return true;
}

// --- commands ------------------------------------------------------------------------

void TMainForm1::Restore_Factory_Defaults_OptionClick() {}

void TMainForm1::Auto_Run_at_Windows_Startup_OptionClick() {}

void TMainForm1::Create_Shortcut_on_Desktop_OptionClick() {}

void TMainForm1::Create_Shortcut_on_Start_Menu_OptionClick() {}

void TMainForm1::Create_Shortcut_on_Start_Programs_Menu_OptionClick() {}

void TMainForm1::Create_Shortcut_on_SendTo_Menu_OptionClick() {}

void TMainForm1::Delete_All_Shortcuts_OptionClick() {}

void TMainForm1::View_Readme_file_OptionClick() {}

void TMainForm1::View_Shareware_Catalog_OptionClick() {}

void TMainForm1::AboutOptionClick() {}

void TMainForm1::FormDropFiles(const QStringList& names) {
    Q_UNUSED(names);
}

} // namespace jl
