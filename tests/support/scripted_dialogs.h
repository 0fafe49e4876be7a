#pragma once
// A dialogs service for tests: records every message and question with its
// kind and text, answers questions from a script, and fails the test (instead
// of blocking) when a question comes that the script did not expect.

#include "util/dialogs.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace jl::test {

struct Shown {
    enum class Type { Error, Information, Confirmation, Warning, Directory, SaveFile, Choice } type;
    QString text;
};

class ScriptedDialogs : public Dialogs {
public:
    void message(MessageKind kind, const QString& text) override;
    bool ask(QuestionKind kind, const QString& text) override;
    QString chooseDirectory(const QString& startDirectory) override;
    QString chooseSaveFile(const QString& title, const QString& proposedPath,
                           const QString& nameFilter) override;
    // Recorded as "title | label | choice|choice|... | current".
    int chooseOne(const QString& title, const QString& label, const QStringList& choices,
                  int current) override;

    // Queue answers for the next questions, in order.
    void answerYes() { m_answers.push_back(true); }
    void answerNo() { m_answers.push_back(false); }
    // Queue a result for the next directory chooser ("" = cancel).
    void chooseNext(const QString& directory) { m_directories.push_back(directory); }
    // Queue a result for the next save-file chooser ("" = cancel).
    void saveNext(const QString& path) { m_saveFiles.push_back(path); }
    // Queue the choice for the next choice of one: the first choice offered
    // that begins with the text given ("" = cancel).
    void chooseOneNext(const QString& choice) { m_choices.push_back(choice); }

    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    QString lastText() const { return m_shown.empty() ? QString() : m_shown.back().text; }
    Shown::Type lastType() const { return m_shown.back().type; }
    QString lastStartDirectory() const { return m_lastStart; }
    size_t count() const { return m_shown.size(); }
    void clear() { m_shown.clear(); }
    bool scriptUsedUp() const {
        return m_answers.empty() && m_directories.empty() && m_saveFiles.empty() &&
               m_choices.empty();
    }
    // Runs while a message or question is up (before it is answered), as
    // whatever comes meanwhile (a signal, the session's end) would.
    std::function<void(const Shown&)> whileShown;

private:
    std::vector<Shown> m_shown;
    std::deque<bool> m_answers;
    std::deque<QString> m_directories;
    std::deque<QString> m_saveFiles;
    std::deque<QString> m_choices;
    QString m_lastStart;
};

} // namespace jl::test
