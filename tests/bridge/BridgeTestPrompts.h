#pragma once
// Stands in for the manager's dialogs: records every question the bridge puts,
// answers at once when told to, or leaves the answer to the test.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "bridge/BridgePrompts.h"

class ScriptedPrompts : public BridgePrompts
{
public:
    struct Question {
        int id = 0;
        QString origin;
        bool canRemember = false;
        bool lastPinAttempt = false;
        bool withdrawn = false;
        bool answered = false;
        std::function<void(bool, bool)> consent;
        std::function<void(bool)> confirm;
    };

    // When set, questions are answered inside the call that asks them.
    std::optional<std::pair<bool, bool>> consentAtOnce;  // allow, remember
    std::optional<bool> confirmAtOnce;

    int askSiteConsent(const QString& origin, bool canRemember,
                       std::function<void(bool allow, bool remember)> answer) override
    {
        Question q;
        q.id = nextId++;
        q.origin = origin;
        q.canRemember = canRemember;
        q.consent = std::move(answer);
        questions.push_back(q);
        if (consentAtOnce)
            allow(questions.size() - 1, consentAtOnce->first, consentAtOnce->second);
        return q.id;
    }

    int confirmLastPinAttempt(const QString& origin, std::function<void(bool proceed)> answer) override
    {
        Question q;
        q.id = nextId++;
        q.origin = origin;
        q.lastPinAttempt = true;
        q.confirm = std::move(answer);
        questions.push_back(q);
        if (confirmAtOnce)
            confirm(questions.size() - 1, *confirmAtOnce);
        return q.id;
    }

    void withdraw(int id) override
    {
        for (Question& q : questions) {
            if (q.id == id)
                q.withdrawn = true;
        }
    }

    void allow(size_t index, bool allowed, bool remember = false)
    {
        Question& q = questions.at(index);
        q.answered = true;
        q.consent(allowed, remember);
    }

    void confirm(size_t index, bool proceed)
    {
        Question& q = questions.at(index);
        q.answered = true;
        q.confirm(proceed);
    }

    std::vector<Question> questions;

private:
    int nextId = 1;
};
