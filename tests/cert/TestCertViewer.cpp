// The certificate viewer driven offscreen: its form, row clicks, closing, and
// opening it from the main window's tree over a fake memory store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <memory>

#include "certs/CertDecode.h"
#include "CertFixtures.h"
#include "manager/CertManager.h"
#include "manager/DialogCertificateViewer.h"
#include "FakeCertStore.h"
#include "manager/KeySelection.h"
#include "TestRoot.h"
#include "common/global_def_var.h"

namespace {
template <typename T>
T* child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

std::unique_ptr<_common_cert_info> recordOf(const std::string& der)
{
    std::unique_ptr<_common_cert_info> record(new _common_cert_info);
    std::memset(record.get(), 0, sizeof *record);
    std::memcpy(record->certData, der.data(), der.size());
    record->certLen = der.size();
    return record;
}

// Runs fn on the next modal widget once it shows; rejects whatever modal is
// still open a while later, so a failing test never hangs.
void whenModal(std::function<void(QWidget*)> fn)
{
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, fn, started]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && *started == 0) {
            *started = 1;
            fn(modal);
        } else if (++*started > 300) {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
            timer->deleteLater();
            timer->stop();
        }
        if (*started == 1 && !QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

void clickCell(QTableWidget* table, int row, int column)
{
    QRect rect = table->visualItemRect(table->item(row, column));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

struct MainWindowFake {
    KeySelection selection;
    CCertManager manager{&selection, nullptr};
    MainWindowFake() { FakeCertStore::reset(); }
    ~MainWindowFake() { FakeCertStore::reset(); }
    void selectCertificate()
    {
        selection.deviceName = "VKEY0001";
        selection.certIndex = 5;
    }
};
}  // namespace

TEST(CertViewer, FormHasTheGivenLayoutAndTexts)
{
    CDialogCertificateViewer viewer(nullptr);
    EXPECT_EQ(viewer.objectName(), QStringLiteral("Dialog_Cert_Viewer"));
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("CertViewer"));

    auto* tabs = child<QTabWidget>(&viewer, "tabWidget");
    auto* table = child<QTableWidget>(&viewer, "tableWidget");
    auto* text = child<QPlainTextEdit>(&viewer, "plainTextEdit");
    auto* close = child<QPushButton>(&viewer, "pushButton_close");
    ASSERT_TRUE(tabs && table && text && close);
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->widget(0)->objectName(), QStringLiteral("tab_2"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Certificate Information"));
    EXPECT_EQ(table->parentWidget(), tabs->widget(0));
    EXPECT_EQ(close->text(), QStringLiteral("close"));
    // The designed arrangement, whatever the size its texts give it: the table
    // over the detail box, twice its height, and Close below them on the right.
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    EXPECT_GE(viewer.width(), 454);
    EXPECT_EQ(table->width(), text->width());
    EXPECT_LT(table->geometry().bottom(), text->geometry().top());
    EXPECT_NEAR(table->height(), 2 * text->height(), 12);
    EXPECT_GT(close->geometry().top(), tabs->geometry().bottom());
    EXPECT_EQ(close->geometry().right(), tabs->geometry().right());

    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(table->columnCount(), 2);
    EXPECT_TRUE(table->verticalHeader()->isHidden());
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Certificate Field"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Field Value"));
    EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
}

TEST(CertViewer, ClickingEitherColumnShowsTheRowsValue)
{
    std::string der = fixtureDer("rsa4096");
    std::vector<CertRow> rows = certificateRowTexts(reinterpret_cast<const unsigned char*>(der.data()), der.size());
    CDialogCertificateViewer viewer(nullptr);
    auto record = recordOf(der);
    EXPECT_EQ(viewer.showCertificate(record.get()), 0);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));

    auto* table = child<QTableWidget>(&viewer, "tableWidget");
    auto* text = child<QPlainTextEdit>(&viewer, "plainTextEdit");
    ASSERT_EQ(table->rowCount(), static_cast<int>(rows.size()));
    for (int i = 0; i < table->rowCount(); ++i) {
        EXPECT_EQ(table->item(i, 0)->text(), QString::fromLatin1(rows[i].name));
        const QString value = QString::fromStdString(rows[i].value).trimmed();
        EXPECT_EQ(table->item(i, 1)->text(), value);
        EXPECT_EQ(table->item(i, 1)->toolTip(), value);
    }
    // Shown whole, not as "V3…" for its line feed.
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("V3"));
    // Opened without a click, the first field is current and its value shown.
    EXPECT_EQ(table->currentRow(), 0);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("V3"));
    EXPECT_FALSE(table->accessibleName().isEmpty());
    EXPECT_FALSE(text->accessibleName().isEmpty());

    clickCell(table, 3, 0);  // the name column
    EXPECT_EQ(text->toPlainText(), QString::fromStdString(rows[3].value).trimmed());
    clickCell(table, 6, 1);
    EXPECT_EQ(text->toPlainText(), QString::fromStdString(rows[6].value));
    // The arrow keys move the detail with the current row.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(text->toPlainText(), QString::fromStdString(rows[5].value).trimmed());
    QTest::keyClick(table, Qt::Key_Up);
    EXPECT_EQ(text->toPlainText(), QString::fromStdString(rows[4].value).trimmed());
    table->scrollToItem(table->item(7, 0));
    clickCell(table, 7, 0);  // the whole 4096-bit key
    EXPECT_EQ(text->toPlainText().size(), 1040);

    // A second certificate replaces the rows instead of adding to them.
    auto other = recordOf(fixtureDer("sm2"));
    viewer.showCertificate(other.get());
    EXPECT_EQ(table->rowCount(), 8);
    EXPECT_EQ(table->item(2, 1)->text(), QStringLiteral("SM2 with SM3"));
}

TEST(CertViewer, CloseButtonEndsTheDialogWithZero)
{
    CDialogCertificateViewer viewer(nullptr);
    auto record = recordOf(fixtureDer("ecdsa-p256"));
    viewer.showCertificate(record.get());
    whenModal([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
    });
    EXPECT_EQ(viewer.exec(), 0);

    CCertManager manager(nullptr, nullptr);
    whenModal([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
    });
    EXPECT_EQ(manager.ShowCert_linux(record.get()), 1);
}

TEST(CertViewer, LanguageFileRetranslatesTheFormAndTheRows)
{
    char saved[sizeof g_szLanguageQmFileName];
    std::memcpy(saved, g_szLanguageQmFileName, sizeof saved);
    {
        CDialogCertificateViewer viewer(nullptr);
        auto* close = child<QPushButton>(&viewer, "pushButton_close");
        snprintf(g_szLanguageQmFileName, sizeof g_szLanguageQmFileName, "%s", "/nonexistent/2052.qm");
        EXPECT_EQ(viewer.initDialogLanguage(), 0x10000001ul);
        EXPECT_EQ(close->text(), QStringLiteral("close"));

        snprintf(g_szLanguageQmFileName, sizeof g_szLanguageQmFileName, "%s", ZVIT_VIEWER_QM_FILE);
        EXPECT_EQ(viewer.initDialogLanguage(), 0ul);
        EXPECT_EQ(viewer.windowTitle(), QStringLiteral("证书查看器"));
        EXPECT_EQ(close->text(), QStringLiteral("关闭"));
        EXPECT_EQ(child<QTabWidget>(&viewer, "tabWidget")->tabText(0), QStringLiteral("证书信息"));
    }
    std::memcpy(g_szLanguageQmFileName, saved, sizeof saved);

    // Headers, field names and values go through the application's translators in context "QDialog".
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(ZVIT_VIEWER_QM_FILE)));
    QCoreApplication::installTranslator(&translator);
    CDialogCertificateViewer viewer(nullptr);
    auto record = recordOf(fixtureDer("sm2"));
    viewer.showCertificate(record.get());
    QCoreApplication::removeTranslator(&translator);
    auto* table = child<QTableWidget>(&viewer, "tableWidget");
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("字段值"));
    EXPECT_EQ(table->item(6, 0)->text(), QStringLiteral("使用者"));
    EXPECT_EQ(table->item(5, 0)->text(), QStringLiteral("Expiry Date"));
}

TEST(ViewSelectedCert, OpensTheViewerOnTheStoredCertificate)
{
    MainWindowFake window;
    std::string der = fixtureDer("sm2");
    FakeCertStore::read = [&der](unsigned char* buffer, unsigned long* length, int) {
        std::memcpy(buffer, der.data(), der.size());
        *length = der.size();
        return 0ul;
    };
    window.selectCertificate();
    QString shownSubject;
    int shownRows = 0;
    whenModal([&](QWidget* modal) {
        auto* table = modal->findChild<QTableWidget*>(QStringLiteral("tableWidget"));
        shownRows = table->rowCount();
        shownSubject = table->item(6, 1)->text();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
    });
    window.manager.clickedViewCert();
    EXPECT_EQ(FakeCertStore::calls, 1);
    EXPECT_EQ(FakeCertStore::lastIndex, 5);
    EXPECT_EQ(FakeCertStore::lastLengthIn, 4096ul);
    EXPECT_EQ(shownRows, 8);
    EXPECT_EQ(shownSubject, QStringLiteral("C=CN, O=Zvit Test Bank, OU=Retail, CN=SM2 Holder"));
}

TEST(ViewSelectedCert, EmptySelectionWarnsAndOpensNoViewer)
{
    MainWindowFake window;
    QString title, text;
    QMessageBox::StandardButtons buttons;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    window.manager.clickedViewCert();
    EXPECT_EQ(title, QStringLiteral("Warning"));
    EXPECT_EQ(text, QStringLiteral("Please select Certificate"));
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Yes));
    EXPECT_EQ(FakeCertStore::calls, 0);
}

TEST(ViewSelectedCert, FailedOrOversizedStoreReadsShowSafeRows)
{
    MainWindowFake window;
    window.selectCertificate();
    auto closeAndCount = [](int* rows, QString* version) {
        whenModal([rows, version](QWidget* modal) {
            auto* table = modal->findChild<QTableWidget*>(QStringLiteral("tableWidget"));
            *rows = table->rowCount();
            *version = table->item(0, 1)->text();
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("pushButton_close")), Qt::LeftButton);
        });
    };

    // Nothing read: the empty certificate's rows.
    int rows = 0;
    QString version;
    closeAndCount(&rows, &version);
    window.manager.clickedViewCert();
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(version, QStringLiteral("V0"));

    // A store that claims more than the buffer: the certificate still shows, nothing overflows.
    std::string der = fixtureDer("rsa2048");
    FakeCertStore::read = [&der](unsigned char* buffer, unsigned long* length, int) {
        std::memcpy(buffer, der.data(), der.size());
        *length = 1u << 20;
        return 0ul;
    };
    closeAndCount(&rows, &version);
    window.manager.clickedViewCert();
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(version, QStringLiteral("V3"));
}
