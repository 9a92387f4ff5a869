#include "UiContext.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <mutex>

#include "bindings/ZTUIExtend_api.h"

namespace uiex {
namespace {

QPointer<QWidget>& parentPointer()
{
    static QPointer<QWidget> parent;
    return parent;
}

std::mutex g_languageMutex;
std::string g_languagePath;
bool g_dialogOpen = false;

}  // namespace

uint32_t checkGui()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !qobject_cast<QApplication*>(app))
        return ZTUIEX_ERR_NO_GUI;
    if (QThread::currentThread() != app->thread())
        return ZTUIEX_ERR_NO_GUI;
    return ZTUIEX_OK;
}

void setParentWindow(QWidget* parent)
{
    parentPointer() = parent;
}

QWidget* parentWindow()
{
    return parentPointer().data();
}

void setLanguagePath(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_languageMutex);
    g_languagePath = path;
}

std::string languagePath()
{
    std::lock_guard<std::mutex> lock(g_languageMutex);
    return g_languagePath;
}

DialogSlot::DialogSlot() : m_acquired(!g_dialogOpen)
{
    if (m_acquired)
        g_dialogOpen = true;
}

DialogSlot::~DialogSlot()
{
    if (m_acquired)
        g_dialogOpen = false;
}

}  // namespace uiex
