#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace jl::test {

void ScriptedDialogs::message(MessageKind kind, const QString& text) {
    m_shown.push_back(
        {kind == MessageKind::Error ? Shown::Type::Error : Shown::Type::Information, text});
}

bool ScriptedDialogs::ask(QuestionKind kind, const QString& text) {
    m_shown.push_back(
        {kind == QuestionKind::Confirmation ? Shown::Type::Confirmation : Shown::Type::Warning,
         text});
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QString ScriptedDialogs::chooseDirectory(const QString& startDirectory) {
    m_lastStart = startDirectory;
    m_shown.push_back({Shown::Type::Directory, startDirectory});
    if (m_directories.empty()) {
        ADD_FAILURE() << "unexpected directory chooser at " << startDirectory.toStdString();
        return {};
    }
    QString result = m_directories.front();
    m_directories.pop_front();
    return result;
}

QString ScriptedDialogs::chooseSaveFile(const QString& title, const QString& proposedPath,
                                        const QString& nameFilter) {
    m_lastStart = proposedPath;
    m_shown.push_back({Shown::Type::SaveFile, title + " | " + proposedPath + " | " + nameFilter});
    if (m_saveFiles.empty()) {
        ADD_FAILURE() << "unexpected save-file chooser at " << proposedPath.toStdString();
        return {};
    }
    QString result = m_saveFiles.front();
    m_saveFiles.pop_front();
    return result;
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.text;
    return out;
}

} // namespace jl::test
