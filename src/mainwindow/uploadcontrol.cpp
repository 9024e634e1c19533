// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/uploadcontrol.h"

#include "console/uploadendview.h"
#include "link/fontupload.h"
#include "link/messageupload.h"
#include "link/uploadworker.h"
#include "mainwindow/bottomrow.h"
#include "mainwindow/picturesource.h"
#include "model/messageset.h"
#include "windowkit/dialogs.h"

#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QTime>

namespace varlo {

// The window as it shows an upload's end. The box is modal, and the window
// may be destroyed while it is open (the program ends): what comes after the
// box then finds nothing and does nothing.
class UploadControl::EndView final : public UploadEndView
{
public:
    explicit EndView(UploadControl *control)
        : m_control(control)
    {
    }

    bool alive() const { return m_control != nullptr; }

    void showFailure(const QString &text, const UploadOutcome &outcome) override
    {
        if (!m_control || !m_control->m_window)
            return;
        QString detail = outcome.reason;
        if (const QString tried = triedPortsText(outcome); !tried.isEmpty()) {
            detail = tried + QStringLiteral("\n\n")
                + UploadControl::tr("Check that the panel is switched on and its cable plugged in, and that no "
                                    "other program holds its port; or choose its port in the port box.");
        }
        m_control->m_dialogs.showMessage(m_control->m_window, text, detail);
    }
    void showResult(bool done) override
    {
        if (m_control)
            m_control->m_row.showLamp(
                m_control->m_pictures.load(done ? SupportFiles::LampGreen : SupportFiles::LampRed));
    }
    void resetProgress() override
    {
        if (m_control)
            m_control->m_row.progress()->setValue(0);
    }

private:
    QPointer<UploadControl> m_control;
};

UploadControl::UploadControl(BottomRow &row, PictureSource &pictures, Dialogs &dialogs, QStatusBar *statusBar,
                             QWidget *window)
    : m_row(row)
    , m_pictures(pictures)
    , m_dialogs(dialogs)
    , m_window(window)
    , m_statusBar(statusBar)
    , m_lastEnd(new QLabel(statusBar))
    , m_worker(std::make_unique<UploadWorker>())
{
    m_lastEnd->setObjectName(QStringLiteral("LastUpload"));
    m_lastEnd->setAccessibleName(tr("How the last upload ended"));
    m_lastEnd->setToolTip(tr("How the last Send or Initial ended, and when"));
    statusBar->addPermanentWidget(m_lastEnd);

    UploadWorker *worker = m_worker.get();
    connect(worker, &UploadWorker::started, this, [this] {
        m_uploading = true;
        emit busyChanged(true);
    });
    connect(worker, &UploadWorker::finished, this, &UploadControl::ended);
    connect(worker, &UploadWorker::portOpened, this,
            [this](const PortChoice &port) { m_statusBar->showMessage(portStatusText(port)); });
    connect(worker, &UploadWorker::progressMaximumSet, m_row.progress(), &QProgressBar::setMaximum);
    connect(worker, &UploadWorker::progressPositionSet, m_row.progress(), &QProgressBar::setValue);
}

UploadControl::~UploadControl() = default;

void UploadControl::send(const MessageSet &set)
{
    m_purpose = UploadPurpose::Messages;
    // The upload works on its plan, made of what was on screen when Send was
    // pressed (the window can't change while it runs anyway).
    m_worker->start([plan = planMessageUpload(set, m_row.commuDelaySlider()->value()),
                     port = m_row.chosenPort()](UploadProgress &progress) { return runUpload(plan, port, progress); });
}

void UploadControl::loadFonts(const QByteArray &image)
{
    m_purpose = UploadPurpose::Fonts;
    // The font in use has the character generator's size, whichever it is.
    m_worker->start([plan = planFontUpload(image).value(), port = m_row.chosenPort()](UploadProgress &progress) {
        return runUpload(plan, port, progress);
    });
}

void UploadControl::ended(const UploadOutcome &outcome)
{
    // Before the box: the line is there to read while the box is open.
    m_lastEnd->setText(uploadEndLine(m_purpose, outcome, QTime::currentTime()));
    EndView view(this);
    showUploadEnd(outcome, view);
    if (!view.alive())
        return;
    m_uploading = false;
    emit busyChanged(false);
}

} // namespace varlo
