#pragma once
// Questions the bridge puts to the desktop user about what a web page may do.
// The bridge shows no window itself: the program hosting it answers, the
// manager with its own dialogs. Every question is answered exactly once,
// possibly much later, through its callback on the GUI thread; a question
// the bridge no longer needs (page gone, time up) is withdrawn by its id.
#include <QString>
#include <functional>

class BridgePrompts
{
public:
    virtual ~BridgePrompts() = default;

    // May pages of this origin (normalised: scheme://host[:port]) read the
    // key and use its PIN? canRemember is false for origins that are asked
    // every time (null, file://). Returns the question's id.
    virtual int askSiteConsent(const QString& origin, bool canRemember,
                               std::function<void(bool allow, bool remember)> answer) = 0;

    // The key has one PIN attempt left: may this page's PIN request go to it?
    virtual int confirmLastPinAttempt(const QString& origin, std::function<void(bool proceed)> answer) = 0;

    // Closes the question's dialog; its callback is then never called.
    virtual void withdraw(int id) = 0;
};
