// Work off the user-interface thread (util/background_job.h): a command hands
// its engine call to runWork(), which runs it on a thread of its own while the
// window stays live, shows its progress and takes the request to stop.

#include "app/widgets/main_form.h"

#include "util/background_job.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTimer>

namespace jl {

namespace {

// How long work may run before the progress panel is shown: short runs come
// and go without the panel flashing up.
constexpr int kPanelDelayMs = 200;

// While work runs: Escape pressed anywhere in the window, or a click on the
// progress panel, asks it to stop.
class StopRequests : public QObject {
public:
    StopRequests(QWidget* window, QWidget* panel, BackgroundJob& job)
        : m_window(window), m_panel(panel), m_job(job) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !m_job.isRunning())
            return false;
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            widget->window() == m_window) {
            m_job.requestStop();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress &&
            (widget == m_panel || m_panel->isAncestorOf(widget))) {
            m_job.requestStop();
            return true;
        }
        return false;
    }

private:
    QWidget* m_window;
    QWidget* m_panel;
    BackgroundJob& m_job;
};

} // namespace

void TMainForm1::runWork(const std::function<void(const JobControl&)>& work) {
    BackgroundJob job(this);
    StopRequests stops(this, File_Processing_Progress_GroupBox, job);
    // The window's stop flag stops any work.
    connect(Abort_All_Processing_CheckBox, &QCheckBox::toggled, &job, [&job](bool ticked) {
        if (ticked)
            job.requestStop();
    });
    if (Abort_All_Processing_CheckBox->isChecked())
        job.requestStop();

    ++m_workRunning;
    Set_Busy_State(false);
    struct Leave {
        TMainForm1* form;
        ~Leave() {
            --form->m_workRunning;
            form->leaveBusyState();
        }
    } leave{this};

    bool panelDue = false;
    qint64 shownTotal = -1;
    auto showProgress = [this, &job, &panelDue, &shownTotal] {
        if (!panelDue || !job.isRunning())
            return;
        if (job.total() != shownTotal) {
            shownTotal = job.total();
            if (shownTotal > 0)
                setGaugeRange(shownTotal);
            else
                Progress_Guage->setRange(0, 0); // moving to and fro: the end is not known
        }
        if (shownTotal > 0)
            setGaugeProgress(job.done());
        // A file shown meanwhile (a drop) hides the panel when it is read.
        File_Processing_Progress_GroupBox->setEnabled(true);
        Progress_Guage->setEnabled(true);
        File_Processing_Progress_GroupBox->show();
        File_Processing_Progress_GroupBox->raise();
    };
    QTimer panelTimer;
    panelTimer.setSingleShot(true);
    connect(&panelTimer, &QTimer::timeout, this, [&panelDue, &showProgress] {
        panelDue = true;
        showProgress();
    });
    connect(&job, &BackgroundJob::progressed, this, showProgress);
    panelTimer.start(kPanelDelayMs);

    job.start(work);
    job.wait();
}

void TMainForm1::stopAllWork() {
    for (BackgroundJob* job : findChildren<BackgroundJob*>(Qt::FindDirectChildrenOnly))
        job->requestStop();
}

} // namespace jl
