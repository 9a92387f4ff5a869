// Round trips of "GetSN" and "GetCertDN" over loopback with 1 and 8 pages,
// next to a bare echo server (the floor), and the SKF stand-in's own time for
// the same calls without the network. Counters p50_us and p99_us per request.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "bridge/BridgeCertText.h"
#include "bridge/BridgeProtocol.h"
#include "bridge/SkfBinding.h"
#include "standins/vtoken/Store.h"
#include "bridge/ZTWebSocketServer.h"
#include "common/global_def_var.h"
#include "zvit_build_config.h"

namespace {

constexpr quint16 kEchoPort = 47913;
constexpr quint16 kBridgePort = 48913;

// A throw-away installation root with one plugged key holding a certificate.
void prepareRoot()
{
    char pattern[] = "/tmp/zvit-bench-bridge-XXXXXX";
    const std::string root = std::string(mkdtemp(pattern)) + "/";
    for (const char* dir : {"ConfigFile", "cert"})
        mkdir((root + dir).c_str(), 0700);
    std::ofstream(root + "ConfigFile/Config.ini") << "[VirtualToken]\nStorePath=" << root << "store\n";
    for (const char* name : {"server.crt", "server.key"})
        std::ofstream(root + "cert/" + name) << "unused in plain mode\n";
    setenv("ZVIT_FILES_ROOT", root.c_str(), 1);
    snprintf(g_szFilesRoot, sizeof(g_szFilesRoot), "%s", root.c_str());
    snprintf(g_szLogBaseDir, sizeof(g_szLogBaseDir), "%snolog/", root.c_str());

    vtoken::Store store(root + "store");
    store.prepare();
    vtoken::KeyRecord record;
    vtoken::newKeyRecord("BENCH0001", "Bench", "111111", true, &record);
    std::ifstream certFile(ZVIT_BENCH_CERT, std::ios::binary);
    vtoken::Container container;
    container.name = "sign";
    container.signatureCert.assign(std::istreambuf_iterator<char>(certFile), {});
    record.containers.push_back(container);
    store.create(record);
    store.plug("BENCH0001");
}

// Runs a server on its own thread, as the manager's GUI thread would.
class ServerThread : public QThread
{
public:
    explicit ServerThread(bool echo) : m_echo(echo) {}
    std::atomic<bool> ready {false};

protected:
    void run() override
    {
        std::unique_ptr<QObject> server;
        if (m_echo) {
            auto* echo = new QWebSocketServer(QStringLiteral("echo"), QWebSocketServer::NonSecureMode);
            echo->listen(QHostAddress::LocalHost, kEchoPort);
            QObject::connect(echo, &QWebSocketServer::newConnection, echo, [echo] {
                while (QWebSocket* socket = echo->nextPendingConnection()) {
                    socket->setParent(echo);
                    QObject::connect(socket, &QWebSocket::textMessageReceived, socket,
                                     [socket](const QString& text) { socket->sendTextMessage(text); });
                }
            });
            server.reset(echo);
        } else {
            server = std::make_unique<ZTWebSocketServer>(kBridgePort);
        }
        ready = true;
        exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private:
    bool m_echo;
};

void spin(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// n pages; each iteration every page sends one request and waits for its reply.
// expected: how every reply begins, so a failure text is never timed as a result.
void roundTrips(benchmark::State& state, quint16 port, const QString& request, bool initialise,
                const QString& expected)
{
    QString wrongReply;
    bool timing = !initialise;
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<QWebSocket>> pages;
    std::vector<qint64> sentAt(n), latencies;
    int pending = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i) {
        pages.push_back(std::make_unique<QWebSocket>());
        QWebSocket* page = pages.back().get();
        QObject::connect(page, &QWebSocket::textMessageReceived, [&, i](const QString& reply) {
            if (timing && !reply.startsWith(expected) && wrongReply.isEmpty())
                wrongReply = reply;
            latencies.push_back(clock.nsecsElapsed() - sentAt[i]);
            --pending;
        });
        page->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
        spin([page] { return page->state() == QAbstractSocket::ConnectedState; });
    }
    // Every page has a session of its own to set up.
    if (initialise) {
        for (const char* text : {"Initialize", "CheckToken"}) {
            pending = n;
            for (auto& page : pages)
                page->sendTextMessage(QString::fromLatin1(text));
            spin([&] { return pending == 0; });
        }
        latencies.clear();
        timing = true;
    }
    for (auto _ : state) {
        pending = n;
        for (int i = 0; i < n; ++i) {
            sentAt[i] = clock.nsecsElapsed();
            pages[i]->sendTextMessage(request);
        }
        spin([&] { return pending == 0; });
    }
    if (!wrongReply.isEmpty())
        state.SkipWithError(("unexpected reply: " + wrongReply.toStdString()).c_str());
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["p50_us"] = latencies[latencies.size() / 2] / 1000.0;
        state.counters["p99_us"] = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)] / 1000.0;
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_EchoFloor(benchmark::State& state)
{
    roundTrips(state, kEchoPort, QStringLiteral("GetCertDN#&&#end"), false, QStringLiteral("GetCertDN#&&#end"));
}

void BM_BridgeGetSN(benchmark::State& state)
{
    roundTrips(state, kBridgePort, QStringLiteral("GetSN"), true, QStringLiteral("GetSN&&BENCH0001"));
}

void BM_BridgeGetCertDN(benchmark::State& state)
{
    roundTrips(state, kBridgePort, QStringLiteral("GetCertDN#&&#end"), true, QStringLiteral("GetCertDN&&CN=localhost"));
}

// The stand-in alone: the SKF calls each command makes, without the bridge.
void skfTimes(benchmark::State& state, bool certificate)
{
    void* handle = dlopen(ZVIT_SKF_LIBRARY, RTLD_LAZY);
    if (!handle || !zvitskf::resolveTable(handle)) {
        state.SkipWithError("SKF stand-in not loaded");
        return;
    }
    using namespace zvitskf;
    std::vector<qint64> times;
    QElapsedTimer clock;
    char names[1024];
    std::vector<uint8_t> cert(4096);
    for (auto _ : state) {
        const qint64 start = clock.isValid() ? clock.nsecsElapsed() : (clock.start(), 0);
        SKF_ULONG size = 0;
        DEVHANDLE dev = nullptr;
        DEVINFO info;
        if (certificate) {
            SKF_EnumDev(TRUE, nullptr, &size);
            SKF_EnumDev(TRUE, names, &size);
        } else {
            strcpy(names, "ZVIT VKey BENCH0001");
        }
        SKF_ConnectDev(names, &dev);
        SKF_GetDevInfo(dev, &info);
        if (certificate) {
            char apps[64];
            HAPPLICATION app = nullptr;
            HCONTAINER container = nullptr;
            size = sizeof(apps);
            SKF_EnumApplication(dev, nullptr, &size);
            SKF_EnumApplication(dev, apps, &size);
            SKF_OpenApplication(dev, apps, &app);
            char containers[1024];
            size = sizeof(containers);
            SKF_EnumContainer(app, nullptr, &size);
            SKF_EnumContainer(app, containers, &size);
            SKF_OpenContainer(app, containers, &container);
            SKF_ULONG length = 0;
            SKF_ExportCertificate(container, TRUE, nullptr, &length);
            length = 4096;
            SKF_ExportCertificate(container, TRUE, cert.data(), &length);
            SKF_CloseContainer(container);
            SKF_CloseApplication(app);
        }
        SKF_DisConnectDev(dev);
        times.push_back(clock.nsecsElapsed() - start);
    }
    std::sort(times.begin(), times.end());
    state.counters["p50_us"] = times[times.size() / 2] / 1000.0;
    state.counters["p99_us"] = times[std::min(times.size() - 1, times.size() * 99 / 100)] / 1000.0;
    dlclose(handle);
}

void BM_SkfStandinGetSN(benchmark::State& state)
{
    skfTimes(state, false);
}

void BM_SkfStandinGetCertDN(benchmark::State& state)
{
    skfTimes(state, true);
}

// The protocol in-process: our work plus the stand-in, no network.
void BM_ProtocolInProcess(benchmark::State& state)
{
    BridgeProtocol protocol;
    BridgeSession* session = protocol.openSession();
    bool close = false;
    protocol.handleMessage(session, QStringLiteral("Initialize"), &close);
    protocol.handleMessage(session, QStringLiteral("CheckToken"), &close);
    const QString request = state.range(0) ? QStringLiteral("GetCertDN#&&#end") : QStringLiteral("GetSN");
    for (auto _ : state)
        benchmark::DoNotOptimize(protocol.handleMessage(session, request, &close));
}

// The certificate texts alone, the part of GetCertDN that is neither network
// nor stand-in.
void BM_DecodeCertificate(benchmark::State& state)
{
    std::ifstream certFile(ZVIT_BENCH_CERT, std::ios::binary);
    const std::vector<uint8_t> der((std::istreambuf_iterator<char>(certFile)), {});
    BridgeCertTexts texts;
    for (auto _ : state)
        benchmark::DoNotOptimize(bridgeDecodeCertificate(der.data(), der.size(), &texts));
}

}  // namespace

BENCHMARK(BM_DecodeCertificate);
BENCHMARK(BM_EchoFloor)->Arg(1)->Arg(8)->UseRealTime();
BENCHMARK(BM_BridgeGetSN)->Arg(1)->Arg(8)->UseRealTime();
BENCHMARK(BM_BridgeGetCertDN)->Arg(1)->Arg(8)->UseRealTime();
BENCHMARK(BM_SkfStandinGetSN);
BENCHMARK(BM_SkfStandinGetCertDN);
BENCHMARK(BM_ProtocolInProcess)->ArgName("certdn")->Arg(0)->Arg(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    prepareRoot();
    ServerThread echo(true), bridge(false);
    echo.start();
    bridge.start();
    while (!echo.ready || !bridge.ready)
        QThread::msleep(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (ServerThread* thread : {&echo, &bridge}) {
        thread->quit();
        thread->wait();
    }
    return 0;
}
