#include "BridgeQuestions.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "common/Language.h"
#include "common/ZTCommonDef.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"

#define LOG_SOURCE "BridgeQuestions"

const char* const BridgeQuestions::kConsentDialogName = "siteConsentDialog";
const char* const BridgeQuestions::kLastAttemptDialogName = "lastPinAttemptDialog";

namespace {

QString tr(const char* key)
{
    return Language_LoadContextString("BridgeQuestions", key, g_szLanguageQmFileName);
}

// Asked while the manager may be hidden in the tray: on top, but without
// taking the keyboard from what the user is typing in.
void raiseDialog(QDialog* dialog)
{
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose, true);
    dialog->setAttribute(Qt::WA_ShowWithoutActivating, true);
    dialog->show();
    dialog->raise();
}

// Keeps the answer buttons off for a moment whenever the dialog appears or
// comes to the front.
class InputDelay : public QObject
{
public:
    InputDelay(QDialog* dialog, int ms) : QObject(dialog), m_dialog(dialog)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(ms);
        connect(&m_timer, &QTimer::timeout, this, [this] { setEnabled(true); });
        dialog->installEventFilter(this);
        arm();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_dialog && (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate))
            arm();
        return false;
    }

private:
    void arm()
    {
        setEnabled(false);
        m_timer.start();
    }
    void setEnabled(bool on)
    {
        for (auto* box : m_dialog->findChildren<QDialogButtonBox*>())
            box->setEnabled(on);
        for (auto* check : m_dialog->findChildren<QCheckBox*>())
            check->setAttribute(Qt::WA_TransparentForMouseEvents, !on);
    }

    QDialog* m_dialog;
    QTimer m_timer;
};

QLabel* originLabel(const QString& origin)
{
    // The whole origin, never elided: a look-alike host must be readable.
    auto* label = new QLabel;
    label->setObjectName(QStringLiteral("label_origin"));
    label->setTextFormat(Qt::PlainText);
    label->setText(origin);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    label->setFont(font);
    return label;
}

QLabel* textLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// The yes and no of a question; no is the default, so Enter never agrees.
void addAnswerButtons(QDialog* dialog, QVBoxLayout* layout, const char* yesKey, const char* yesName,
                      const char* noKey, const char* noName)
{
    auto* waiting = textLabel(QString());
    waiting->setObjectName(QStringLiteral("label_waiting"));
    waiting->setVisible(false);
    layout->addWidget(waiting);
    auto* buttons = new QDialogButtonBox;
    QPushButton* yes = buttons->addButton(tr(yesKey), QDialogButtonBox::AcceptRole);
    QPushButton* no = buttons->addButton(tr(noKey), QDialogButtonBox::RejectRole);
    yes->setObjectName(QString::fromLatin1(yesName));
    no->setObjectName(QString::fromLatin1(noName));
    yes->setAutoDefault(false);
    no->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->setMinimumWidth(420);
}

}  // namespace

BridgeQuestions::BridgeQuestions(QObject* parent) : QObject(parent) {}

BridgeQuestions::~BridgeQuestions()
{
    for (Question& question : m_questions) {
        if (question.dialog)
            delete question.dialog.data();
    }
}

int BridgeQuestions::askSiteConsent(const QString& origin, bool canRemember,
                                    std::function<void(bool allow, bool remember)> answer)
{
    return ask(QStringLiteral("consent ") + origin + (canRemember ? "" : " (once)"),
               &BridgeQuestions::makeConsentDialog, origin, canRemember, std::move(answer));
}

int BridgeQuestions::confirmLastPinAttempt(const QString& origin, std::function<void(bool proceed)> answer)
{
    return ask(QStringLiteral("last PIN attempt ") + origin, &BridgeQuestions::makeLastAttemptDialog, origin, false,
               [answer](bool proceed, bool) { answer(proceed); });
}

int BridgeQuestions::ask(const QString& key, Maker make, const QString& origin, bool canRemember,
                         std::function<void(bool, bool)> answer)
{
    const int id = m_nextId++;
    const bool fresh = !m_questions.contains(key);
    Question& question = m_questions[key];
    question.waiters.append(Waiter {id, std::move(answer)});
    if (fresh) {
        question.make = make;
        question.origin = origin;
        question.canRemember = canRemember;
        m_order.append(key);
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "asked %s (question %d)", key.toUtf8().constData(), id);
    showFront();
    return id;
}

void BridgeQuestions::showFront()
{
    if (m_order.isEmpty())
        return;
    const QString key = m_order.front();
    Question& question = m_questions[key];
    if (!question.dialog) {
        QDialog* dialog = (this->*question.make)(question.origin, question.canRemember);
        question.dialog = dialog;
        // Closing the window without a choice is no permission.
        connect(dialog, &QDialog::finished, this, [this, key](int result) {
            auto it = m_questions.find(key);
            if (it == m_questions.end())
                return;
            auto* remember = it->dialog ? it->dialog->findChild<QCheckBox*>(QStringLiteral("checkBox_remember")) : nullptr;
            answerAll(key, result == QDialog::Accepted, remember && remember->isEnabled() && remember->isChecked());
        });
        new InputDelay(dialog, m_inputDelayMs);
        raiseDialog(dialog);
    }
    if (auto* waiting = question.dialog->findChild<QLabel*>(QStringLiteral("label_waiting"))) {
        const int others = m_order.size() - 1;
        waiting->setText(others > 0 ? tr("questions_waiting").arg(others) : QString());
        waiting->setVisible(others > 0);
    }
}

void BridgeQuestions::answerAll(const QString& key, bool yes, bool remember)
{
    const QVector<Waiter> waiters = m_questions.take(key).waiters;
    m_order.removeAll(key);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "answered %s: %s%s", key.toUtf8().constData(),
                    yes ? "yes" : "no", remember ? ", remembered" : "");
    for (const Waiter& waiter : waiters)
        waiter.answer(yes, remember);
    showFront();
}

void BridgeQuestions::withdraw(int id)
{
    for (auto it = m_questions.begin(); it != m_questions.end(); ++it) {
        QVector<Waiter>& waiters = it->waiters;
        for (int i = 0; i < waiters.size(); ++i) {
            if (waiters[i].id != id)
                continue;
            waiters.remove(i);
            if (waiters.isEmpty()) {
                QPointer<QDialog> dialog = it->dialog;
                m_order.removeAll(it.key());
                m_questions.erase(it);
                if (dialog)
                    dialog->close();  // no one is left to answer: finished finds nothing
            }
            showFront();
            return;
        }
    }
}

QDialog* BridgeQuestions::makeConsentDialog(const QString& origin, bool canRemember)
{
    auto* dialog = new QDialog(nullptr);
    dialog->setObjectName(QString::fromLatin1(kConsentDialogName));
    dialog->setWindowTitle(tr("consent_title"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(textLabel(tr("consent_intro")));
    layout->addWidget(originLabel(origin));
    layout->addWidget(textLabel(tr("consent_what")));
    layout->addWidget(textLabel(tr("consent_advice")));
    auto* remember = new QCheckBox(tr("consent_remember"));
    remember->setObjectName(QStringLiteral("checkBox_remember"));
    remember->setEnabled(canRemember);
    layout->addWidget(remember);
    if (!canRemember)
        layout->addWidget(textLabel(tr("consent_asked_every_time")));
    addAnswerButtons(dialog, layout, "consent_allow", "pushButton_allow", "consent_deny", "pushButton_deny");
    return dialog;
}

QDialog* BridgeQuestions::makeLastAttemptDialog(const QString& origin, bool)
{
    auto* dialog = new QDialog(nullptr);
    dialog->setObjectName(QString::fromLatin1(kLastAttemptDialogName));
    dialog->setWindowTitle(tr("lastpin_title"));
    auto* layout = new QVBoxLayout(dialog);
    // A program on this computer sends no origin of its own.
    layout->addWidget(originLabel(origin.isEmpty() ? tr("lastpin_local_program") : origin));
    layout->addWidget(textLabel(tr("lastpin_text")));
    addAnswerButtons(dialog, layout, "lastpin_proceed", "pushButton_proceed", "lastpin_cancel", "pushButton_cancel");
    return dialog;
}
