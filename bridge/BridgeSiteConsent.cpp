#include "BridgeSiteConsent.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "BridgePrompts.h"
#include "BridgeSiteLimits.h"

BridgeSiteConsent::BridgeSiteConsent(Host& host) : host(host)
{
    clock.start();
}

BridgeSiteConsent::~BridgeSiteConsent() = default;

void BridgeSiteConsent::setTimeoutMs(int ms)
{
    timeoutMs = std::max(ms, 1);
}

void BridgeSiteConsent::decide(quint64 id, const QString& origin, bool listed)
{
    if (listed) {
        host.siteAllowed(id);
        return;
    }
    // Not asking about unknown sites is a policy: past answers do not count then.
    if (!bridgeAskUnknownOrigins()) {
        host.siteRefused(id, "unknown origins are not asked about");
        return;
    }
    if (!bridgeOriginAnonymous(origin)) {
        if (remembered.allowed(origin)) {
            BRIDGE_LOG("origin %s served: the user allowed it before", bridgeLogText(origin).constData());
            host.siteAllowed(id);
            return;
        }
        if (remembered.denied(origin)) {
            host.siteRefused(id, "the user refused it before");
            return;
        }
    }
    if (!prompts) {
        host.siteRefused(id, "nobody to ask");
        return;
    }
    if (quietSites.quiet(origin, clock.elapsed())) {
        host.siteRefused(id, "it was refused a moment ago");
        return;
    }
    if (!BridgeSiteLimits::mayAsk(openQuestionsOf(origin))) {
        host.siteRefused(id, "too many of its questions are open");
        return;
    }
    ask(id, origin);
}

int BridgeSiteConsent::openQuestionsOf(const QString& origin) const
{
    return static_cast<int>(std::count_if(questions.begin(), questions.end(),
                                          [&origin](const auto& q) { return q.second.origin == origin; }));
}

void BridgeSiteConsent::ask(quint64 id, const QString& origin)
{
    close(id);
    const quint64 token = ++lastToken;
    Question& question = questions[id];
    question.origin = origin;
    question.token = token;
    question.timer = new QTimer(this);
    question.timer->setSingleShot(true);
    connect(question.timer, &QTimer::timeout, this, [this, id] { timedOut(id); });
    BRIDGE_LOG("asking the user about origin %s", bridgeLogText(origin).constData());
    QPointer<BridgeSiteConsent> self(this);
    const int promptId =
        prompts->askSiteConsent(origin, !bridgeOriginAnonymous(origin), [self, id, token](bool allow, bool remember) {
            if (!self)
                return;
            const auto asked = self->questions.find(id);
            if (asked == self->questions.end() || asked->second.token != token)
                return;
            self->answered(id, allow, remember);
        });
    // The prompts may have answered already, or run an event loop meanwhile.
    const auto still = questions.find(id);
    if (still == questions.end() || still->second.token != token)
        return;
    still->second.promptId = promptId;
    still->second.timer->start(timeoutMs);
}

void BridgeSiteConsent::answered(quint64 id, bool allow, bool remember)
{
    const QString origin = questions.at(id).origin;
    close(id);
    if (remember && !bridgeOriginAnonymous(origin))
        remembered.remember(origin, allow);
    if (!allow) {
        quietSites.keepQuiet(origin, clock.elapsed());
        host.siteRefused(id, "the user refused it");
        return;
    }
    BRIDGE_LOG("origin %s allowed by the user", bridgeLogText(origin).constData());
    host.siteAllowed(id);
}

void BridgeSiteConsent::timedOut(quint64 id)
{
    const auto asked = questions.find(id);
    if (asked == questions.end())
        return;
    const QString origin = asked->second.origin;
    withdraw(id);
    quietSites.keepQuiet(origin, clock.elapsed());
    host.siteRefused(id, "the user did not answer in time");
}

bool BridgeSiteConsent::withdraw(quint64 id)
{
    const auto asked = questions.find(id);
    if (asked == questions.end())
        return false;
    const int promptId = asked->second.promptId;
    close(id);
    if (prompts && promptId >= 0)
        prompts->withdraw(promptId);
    return true;
}

void BridgeSiteConsent::close(quint64 id)
{
    const auto asked = questions.find(id);
    if (asked == questions.end())
        return;
    // Its timer may be the caller.
    QTimer* timer = asked->second.timer;
    timer->stop();
    timer->disconnect(this);
    timer->deleteLater();
    questions.erase(asked);
}
