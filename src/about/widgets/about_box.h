#pragma once
// The About dialog: product caption, release date and the share of free
// memory, refreshed every 500 ms while the dialog is open. Created once at
// start-up and opened modally from Help > About.

#include "about/memory_status.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTimer;

namespace jl {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    using MemorySource = std::function<std::optional<MemoryStatus>()>;

    // memorySource gives the figures at each refresh (default: /proc/meminfo).
    explicit TAboutBox(QWidget* parent = nullptr, MemorySource memorySource = {});

    // Sets the caption "About Junkloupe v1.0f ...", the product name and the
    // date line. The main window calls this at every first-show sequence.
    void setProductTexts();
    // The caption of Product_Name_Label (the product name other commands quote).
    QString productName() const;

    QLabel* Product_Name_Label = nullptr;
    QLabel* Author_and_Date_Label = nullptr;
    QLabel* Free_Resources_Label = nullptr;
    QPushButton* OKButton = nullptr;
    QTimer* Free_Resources_Timer = nullptr;

public slots:
    void OKButtonClick();
    void Free_Resources_TimerTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void FormActivate();

    MemorySource m_memorySource;
};

} // namespace jl
