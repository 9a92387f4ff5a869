#include "FormatDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <thread>

#include "DialogParts.h"
#include "UiLanguage.h"

namespace uiex {

FormatDialog::FormatDialog(const Texts& texts, const QString& serial, Work work, QWidget* parent)
    : QDialog(parent), m_work(std::move(work))
{
    prepareDialog(this, "ZTUIExFormatDialog", texts.ui("Format_Title"));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, "label_Device", texts.ui("Device_Serial").arg(serial)));
    layout->addWidget(makeLabel(this, "label_Progress", texts.ui("Format_Progress")));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("progressBar_Format");
    m_bar->setRange(0, 0);  // busy: the store does it in one step
    layout->addWidget(m_bar);
}

uint32_t FormatDialog::run()
{
    m_running = true;
    m_shown.start();
    QPointer<FormatDialog> self(this);
    // The result travels back through a shared cell: the dialog may be gone
    // (its parent destroyed) by the time the thread ends.
    auto cell = std::make_shared<uint32_t>(0);
    Work work = m_work;
    std::thread worker([work, self, cell] {
        uint32_t code = work();
        *cell = code;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, code] {
                if (self)
                    self->finish(code);
            },
            Qt::QueuedConnection);
    });
    exec();
    worker.join();
    // Its last message may still be queued when the dialog died early; deliver
    // it now, while this library's code is surely still loaded.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    return *cell;
}

void FormatDialog::finish(uint32_t code)
{
    m_code = code;
    m_bar->setRange(0, 100);
    m_bar->setValue(100);
    int left = kMinimumShownMs - static_cast<int>(m_shown.elapsed());
    QPointer<FormatDialog> self(this);
    QTimer::singleShot(left > 0 ? left : 0, this, [self] {
        if (self) {
            self->m_running = false;
            self->done(QDialog::Accepted);
        }
    });
}

void FormatDialog::closeEvent(QCloseEvent* event)
{
    if (m_running)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void FormatDialog::reject()
{
    if (!m_running)
        QDialog::reject();
}

}  // namespace uiex
