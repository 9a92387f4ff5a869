#pragma once
// Progress while a key is formatted. The work runs on a thread of its own so
// the window stays painted; the dialog cannot be closed before it ends.
#include <QDialog>
#include <QElapsedTimer>
#include <functional>

class QProgressBar;

namespace uiex {

class Texts;

class FormatDialog : public QDialog
{
    Q_OBJECT
public:
    using Work = std::function<uint32_t()>;
    FormatDialog(const Texts& texts, const QString& serial, Work work, QWidget* parent);
    // Runs the work and returns its result once the dialog has closed.
    uint32_t run();

    // Long enough for the user to see that something happened.
    static constexpr int kMinimumShownMs = 400;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void finish(uint32_t code);

    Work m_work;
    QProgressBar* m_bar;
    QElapsedTimer m_shown;
    bool m_running = false;
    uint32_t m_code = 0;
};

}  // namespace uiex
