#pragma once
// The one way the tool puts a modal question or notice in front of the user.
// Logic calls this interface; the window installs the real Qt implementation
// and tests install a scripted one that records every text and answers as told.

#include <QString>
#include <QStringList>

namespace jl {

enum class MessageKind {
    Error,       // error icon, OK button
    Information, // information icon, OK button
};

enum class QuestionKind {
    Confirmation, // question icon, Yes and No ("... Are you sure ?")
    Warning,      // warning icon, Yes and No (factory defaults, start-up entry)
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message with one OK button; returns when the user has closed it.
    virtual void message(MessageKind kind, const QString& text) = 0;
    // A Yes/No question; true only for Yes.
    virtual bool ask(QuestionKind kind, const QString& text) = 0;
    // The directory chooser titled "Select Directory", opened at startDirectory.
    // Returns the chosen directory as the user typed or picked it (no trailing
    // separator added), or an empty text when cancelled.
    virtual QString chooseDirectory(const QString& startDirectory) = 0;
    // A file chooser for saving, titled title, opened at proposedPath (a
    // folder and a file name) and showing the files that nameFilter (as
    // "CSV files (*.csv)") names. The user confirms replacing a file that
    // exists. Returns the chosen path, or an empty text when cancelled.
    virtual QString chooseSaveFile(const QString& title, const QString& proposedPath,
                                   const QString& nameFilter) = 0;
    // A choice of one among choices (at least one), titled title, with label
    // above them and choices[current] chosen at first. Returns the index of
    // the choice made, or -1 when cancelled.
    virtual int chooseOne(const QString& title, const QString& label, const QStringList& choices,
                          int current) = 0;

    void error(const QString& text) { message(MessageKind::Error, text); }
    void information(const QString& text) { message(MessageKind::Information, text); }
    bool confirm(const QString& text) { return ask(QuestionKind::Confirmation, text); }
    bool warn(const QString& text) { return ask(QuestionKind::Warning, text); }
};

} // namespace jl
