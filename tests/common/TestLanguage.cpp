#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "common/LanguageWidgets.h"

namespace {

const char* qmFile()
{
    return ZVIT_TEST_QM_FILE;
}

// Stands in for a generated form: retranslateUi() translates in its own context.
struct TestFormUi {
    QLabel* title = nullptr;
    void retranslateUi(QWidget*) { title->setText(QCoreApplication::translate("TestForm", "Form_Only_Key")); }
};

}  // namespace

TEST(Language, KeysTranslateOrShowThemselves)
{
    EXPECT_EQ(Language_LoadString("Please_Select_Device", qmFile()), QString::fromUtf8("请选择设备"));
    EXPECT_EQ(Language_LoadString("No_Such_Key", qmFile()), "No_Such_Key");
    // Form-only keys are not single texts.
    EXPECT_EQ(Language_LoadString("Form_Only_Key", qmFile()), "Form_Only_Key");
    EXPECT_EQ(Language_LoadString("Please_Select_Device", "/nonexistent/2052.qm"), "Please_Select_Device");
    EXPECT_EQ(Language_LoadString("Please_Select_Device", nullptr), "Please_Select_Device");
    // No translator stays behind.
    EXPECT_EQ(QCoreApplication::translate("QObject", "Please_Select_Device"), "Please_Select_Device");
}

TEST(Language, WidgetsAndFormsTakeTheirTexts)
{
    QLabel label;
    QPushButton button;
    QStatusBar status;
    setLabelText(&label, "Refresh_Success", qmFile());
    setPushButtonText(&button, "Please_Select_Device", qmFile());
    setStatusBarText(&status, "Missing_Key", qmFile());
    EXPECT_EQ(label.text(), QString::fromUtf8("刷新成功"));
    EXPECT_EQ(button.text(), QString::fromUtf8("请选择设备"));
    EXPECT_EQ(status.currentMessage(), "Missing_Key");

    QWidget window;
    TestFormUi form;
    form.title = new QLabel("before", &window);
    EXPECT_EQ(Language_SetMainWindowStr(&form, &TestFormUi::retranslateUi, &window, "/nonexistent/1033.qm"),
              ZT_ERR_LANG_OR_PININFO);
    EXPECT_EQ(form.title->text(), "before");
    EXPECT_EQ(Language_SetDialogStr(&form, &TestFormUi::retranslateUi, &window, qmFile()), 0ul);
    EXPECT_EQ(form.title->text(), QString::fromUtf8("表单标题"));
    EXPECT_EQ(QCoreApplication::translate("TestForm", "Form_Only_Key"), "Form_Only_Key");
}
