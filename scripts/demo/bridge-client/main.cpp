// Sends the sample bank page's requests to the running manager's bridge, in
// the page's order, and prints each request and its reply.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "PageClient.h"

namespace {

// "Command#&arg1#&arg2&#end", or the bare command, as the page sends it.
QString requestText(const QStringList& parts)
{
    if (parts.size() == 1)
        return parts[0];
    return parts[0] + QStringLiteral("#&") + parts.mid(1).join(QStringLiteral("#&")) + QStringLiteral("&#end");
}

void usage()
{
    std::fprintf(stderr, "usage: zvit-bridge-client [--port FIRST] [--origin ORIGIN] [--pin PIN]\n"
                         "Tries the ten ports from FIRST (51913) like the sample page, sending the\n"
                         "page's ORIGIN (http://localhost); the manager asks about one it does not list.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quint16 firstPort = 51913;
    QString pin;
    QString origin = QStringLiteral("http://localhost");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            firstPort = static_cast<quint16>(args[++i].toUShort(&ok));
        else if (args[i] == QLatin1String("--pin") && i + 1 < args.size())
            pin = args[++i];
        else if (args[i] == QLatin1String("--origin") && i + 1 < args.size())
            origin = args[++i];
        else
            ok = false;
        if (!ok || firstPort == 0) {
            usage();
            return 2;
        }
    }

    PageClient client(origin);
    quint16 port = 0;
    for (int i = 0; i < 10 && !port; ++i) {
        if (client.open(static_cast<quint16>(firstPort + i), QStringLiteral("127.0.0.1"), 2000))
            port = static_cast<quint16>(firstPort + i);
    }
    if (!port) {
        std::fprintf(stderr, "No key manager answers on ports %u-%u.\n", firstPort, firstPort + 9u);
        return 1;
    }
    std::printf("connected to ws://127.0.0.1:%u/ as a page of %s\n", port, qPrintable(origin));

    QList<QStringList> requests = {
        {QStringLiteral("Initialize")},
        {QStringLiteral("CheckToken")},
        {QStringLiteral("GetSN")},
        {QStringLiteral("GetCertDN"), QString()},
        {QStringLiteral("GetCertSN"), QString()},
        {QStringLiteral("GetCertNA"), QString()},
        {QStringLiteral("GetCntlVersion")},
    };
    if (!pin.isEmpty())
        requests.append({QStringLiteral("VerifyUserPin"), QString(), pin});

    int missing = 0;
    for (const QStringList& parts : requests) {
        const QString text = requestText(parts);
        const QString reply = client.request(text);
        const QString shown = parts[0] == QLatin1String("VerifyUserPin") ? requestText({parts[0], QString(), QStringLiteral("******")}) : text;
        std::printf("  > %s\n", qPrintable(shown));
        if (reply.isNull()) {
            std::printf("  < (no reply)\n");
            ++missing;
        } else {
            QString shownReply = reply;
            shownReply.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
            std::printf("  < %s\n", qPrintable(shownReply));
        }
    }
    return missing ? 1 : 0;
}
