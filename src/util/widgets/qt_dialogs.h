#pragma once
// The real dialogs service (Qt message boxes titled with the application
// title, a Qt directory dialog) and the system clipboard.

#include "util/clipboard.h"
#include "util/dialogs.h"

class QWidget;

namespace jl {

// The application title, the title of every message box; until it is set,
// the program's name. It is not the toolkit's display name: the desktop
// would append that to every window title that does not already end in it.
void setApplicationTitle(const QString& title);
QString applicationTitle();

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void message(MessageKind kind, const QString& text) override;
    bool ask(QuestionKind kind, const QString& text) override;
    QString chooseDirectory(const QString& startDirectory) override;
    QString chooseSaveFile(const QString& title, const QString& proposedPath,
                           const QString& nameFilter) override;
    int chooseOne(const QString& title, const QString& label, const QStringList& choices,
                  int current) override;

private:
    QWidget* m_parent;
};

class SystemClipboard : public Clipboard {
public:
    QString text() const override;
    void setText(const QString& text) override;
};

} // namespace jl
