#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace jl::test {

void ScriptedDialogs::message(MessageKind kind, const QString& text) {
    m_shown.push_back(
        {kind == MessageKind::Error ? Shown::Type::Error : Shown::Type::Information, text});
    if (whileShown)
        whileShown(Shown(m_shown.back()));
}

bool ScriptedDialogs::ask(QuestionKind kind, const QString& text) {
    m_shown.push_back(
        {kind == QuestionKind::Confirmation ? Shown::Type::Confirmation : Shown::Type::Warning,
         text});
    if (whileShown)
        whileShown(Shown(m_shown.back()));
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

namespace {

// The next scripted choice, or a failure when the script has none.
QString nextChoice(std::deque<QString>& script, const char* chooser, const QString& start) {
    if (script.empty()) {
        ADD_FAILURE() << "unexpected " << chooser << " at " << start.toStdString();
        return {};
    }
    QString result = script.front();
    script.pop_front();
    return result;
}

} // namespace

QString ScriptedDialogs::chooseDirectory(const QString& startDirectory) {
    m_lastStart = startDirectory;
    m_shown.push_back({Shown::Type::Directory, startDirectory});
    return nextChoice(m_directories, "directory chooser", startDirectory);
}

QString ScriptedDialogs::chooseSaveFile(const QString& title, const QString& proposedPath,
                                        const QString& nameFilter) {
    m_lastStart = proposedPath;
    m_shown.push_back({Shown::Type::SaveFile, title + " | " + proposedPath + " | " + nameFilter});
    return nextChoice(m_saveFiles, "save-file chooser", proposedPath);
}

int ScriptedDialogs::chooseOne(const QString& title, const QString& label,
                               const QStringList& choices, int current) {
    m_shown.push_back({Shown::Type::Choice, title + " | " + label + " | " + choices.join('|') +
                                                " | " + QString::number(current)});
    const QString choice = nextChoice(m_choices, "choice", title);
    if (choice.isEmpty())
        return -1;
    for (int index = 0; index < choices.size(); ++index)
        if (choices.at(index).startsWith(choice))
            return index;
    ADD_FAILURE() << "no choice offered begins with " << choice.toStdString();
    return -1;
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.text;
    return out;
}

} // namespace jl::test
