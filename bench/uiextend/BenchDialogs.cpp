// How long a user waits between the program's call and the dialog's answer
// coming back, minus the user: a bare QDialog's round trip is the floor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "standins/vtoken/Store.h"
#include "tests/support/TestRoot.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"

namespace {

// Answers the next modal dialog of that name: fills a PIN when asked, clicks OK.
void answerNext(const char* dialogName, const char* pin = nullptr)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, dialogName, pin] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != dialogName)
            return;
        timer->stop();
        timer->deleteLater();
        if (pin)
            modal->findChild<QLineEdit*>("lineEdit_Pin")->setText(pin);
        modal->findChild<QPushButton*>("pushButton_OK")->click();
    });
    timer->start();
}

struct Installation {
    Installation()
    {
        std::string store = root.tempDir() + "/store";
        setIniValue(root.configPath(), "VirtualToken", "StorePath", store);
        vtoken::Store s(store);
        vtoken::KeyRecord key;
        ok = s.prepare() == vtoken::Status::Ok &&
             vtoken::newKeyRecord("BENCH0001", "Bench", "Pin12345", true, &key) == vtoken::Status::Ok &&
             s.create(key) == vtoken::Status::Ok && s.plug("BENCH0001") == vtoken::Status::Ok &&
             LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER) && LoadZTUIExtendLib() &&
             ZTToken_OpenDeviceByName(vtoken::deviceNameFor("BENCH0001").c_str(), &handle) == 0;
    }
    ~Installation()
    {
        if (handle)
            ZTToken_CloseDevice(handle);
        FreeZTUIExtendLib();
        FreeZTTokenLib();
    }
    TestRoot root;
    void* handle = nullptr;
    bool ok = false;
};

Installation* g_installation = nullptr;

void BM_BareDialogFloor(benchmark::State& state)
{
    for (auto _ : state) {
        QDialog dialog;
        dialog.setObjectName("bare");
        auto* ok = new QPushButton("OK", &dialog);
        ok->setObjectName("pushButton_OK");
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        answerNext("bare");
        benchmark::DoNotOptimize(dialog.exec());
    }
}
BENCHMARK(BM_BareDialogFloor)->Unit(benchmark::kMillisecond);

void BM_MessageBox(benchmark::State& state)
{
    for (auto _ : state) {
        answerNext("ZTUIExMessageBox");
        if (fn_ZTUIEx_MessageBox("Pin_Locked", "MessageBox_Title_Notice", 0x11, 0) != ZTUIEX_ID_OK)
            state.SkipWithError("message box did not confirm");
    }
}
BENCHMARK(BM_MessageBox)->Unit(benchmark::kMillisecond);

// Includes the store's two record writes and the PIN hash.
void BM_VerifyPin(benchmark::State& state)
{
    for (auto _ : state) {
        answerNext("ZTUIExVerifyPinDialog", "Pin12345");
        if (fn_ZTUIEx_VerifyPin(g_installation->handle, 1) != 0)
            state.SkipWithError("verification failed");
    }
}
BENCHMARK(BM_VerifyPin)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (!getenv("QT_QPA_PLATFORM") && !getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Installation installation;
    if (!installation.ok)
        return 1;
    g_installation = &installation;
    benchmark::RunSpecifiedBenchmarks();
    g_installation = nullptr;
    return 0;
}
