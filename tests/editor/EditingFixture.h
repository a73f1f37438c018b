#pragma once

#include "EditorFixture.h"
#include "device/RecordingDevice.h"

#include <QComboBox>
#include <QLineEdit>
#include <memory>

// An editor with unit 1 read (five modules; module 2 rated 5-15 V), the
// window active so fields can hold the focus, and the device log on demand.
class EditingFixture : public EditorFixture
{
protected:
    std::unique_ptr<ZelkDevice> busOwner;
    RecordingDevice *log = nullptr;

    void readUnit(const QString &unit = QStringLiteral("1"))
    {
        SupplyConfig &e = editor();
        e.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
        pickAndStart(unit);
        ASSERT_TRUE(EditorState::UnitShown);
    }

    // Later device calls go through a log.
    void record()
    {
        if (log) {
            log->clear();
            return;
        }
        busOwner = std::move(ZelkGlobals::Device);
        ZelkGlobals::Device = std::make_unique<RecordingDevice>(*busOwner);
        log = static_cast<RecordingDevice *>(ZelkGlobals::Device.get());
    }

    void TearDown() override
    {
        EditorFixture::TearDown();
        busOwner.reset();
    }

    void showModule(int m) { editor().SSTab1(1)->setCurrentIndex(SupplyConfig::tabOfModule(m)); }

    static QLineEdit *lineOf(QWidget *field)
    {
        if (auto *combo = qobject_cast<QComboBox *>(field))
            return combo->lineEdit();
        return qobject_cast<QLineEdit *>(field);
    }

    // The user replaces a field's text by typing and tabs away.
    static void enterAndLeave(QWidget *field, const QString &text)
    {
        field->setFocus(Qt::MouseFocusReason);
        lineOf(field)->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

    QStringList methodsWithout(const QStringList &names) const
    {
        QStringList all = log->methodNames();
        for (const QString &n : names)
            all.removeAll(n);
        return all;
    }
};
