#include "editor/FieldGuard.h"

#include "configfile/FieldRules.h"
#include "core/ZelkRoutines.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

FieldGuard::FieldGuard(QObject *parent)
    : QObject(parent)
{}

void FieldGuard::watch(QWidget *field, Keys keys, Check check, QWidget *keyTarget)
{
    m_fields.insert(field, Entry{field, keys, std::move(check)});
    field->installEventFilter(this);
    if (keyTarget) {
        m_keys.insert(keyTarget, field);
        keyTarget->installEventFilter(this);
    }
}

bool FieldGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        QObject *fieldObject = m_keys.value(watched, nullptr);
        const auto it = m_fields.constFind(fieldObject ? fieldObject : watched);
        if (it != m_fields.constEnd())
            return filterKey(*it, watched, static_cast<QKeyEvent *>(event));
        return false;
    }
    if (event->type() != QEvent::FocusOut)
        return false;
    const auto it = m_fields.constFind(watched);
    if (it == m_fields.constEnd() || !it->check || m_checking)
        return false;
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    // Switching to another program or opening the box's list is no leaving.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return false;
    // Only the refused field is checked until it holds a good value.
    if (m_refused && m_refused != it->field)
        return false;
    QWidget *next = QApplication::focusWidget();
    if (next && it->field->isAncestorOf(next))
        return false;
    if (!runCheck(*it))
        returnFocus(it->field);
    return false;
}

bool FieldGuard::filterKey(const Entry &entry, QObject *target, QKeyEvent *event)
{
    if (entry.keys == Keys::Any)
        return false;
    const int key = event->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return false;
    if (entry.keys == Keys::None)
        return true;

    qint16 code = 0;
    if (key == Qt::Key_Backspace)
        code = 8;
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        code = 13;
    else if (!event->text().isEmpty() && event->text().at(0).unicode() >= 32)
        code = static_cast<qint16>(event->text().at(0).unicode());
    else
        return false; // moving the caret, deleting, clipboard keys
    const QChar typed(code);
    NumericKeyFilter(code);
    if (code == 0)
        return true;
    if (entry.keys == Keys::NumericFive) {
        auto *box = qobject_cast<QLineEdit *>(target);
        if (!box)
            if (auto *combo = qobject_cast<QComboBox *>(entry.field))
                box = combo->lineEdit();
        if (box && !FieldRules::timeBoxTakesChar(typed, static_cast<int>(box->text().size()),
                                                 static_cast<int>(box->selectedText().size())))
            return true;
    }
    return false;
}

bool FieldGuard::runCheck(const Entry &entry)
{
    m_checking = true;
    const bool ok = entry.check();
    m_checking = false;
    m_refused = ok ? nullptr : entry.field;
    return ok;
}

void FieldGuard::returnFocus(QWidget *field)
{
    // Deferred: the focus change that led here has to finish first.
    QTimer::singleShot(0, field, [this, field] {
        if (m_refused != field)
            return;
        // A field that went away with its mode holds nothing to correct.
        if (!field->isVisible() || !field->isEnabled()) {
            m_refused = nullptr;
            return;
        }
        field->setFocus(Qt::OtherFocusReason);
    });
}

void FieldGuard::refuse(QWidget *field)
{
    m_refused = field;
    returnFocus(field);
}

bool FieldGuard::settle()
{
    if (m_refused) {
        if (m_refused->isVisible() && m_refused->isEnabled()) {
            returnFocus(m_refused);
            return false;
        }
        m_refused = nullptr;
    }
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return true;
    QObject *fieldObject = m_keys.value(focused, focused);
    const auto it = m_fields.constFind(fieldObject);
    if (it == m_fields.constEnd() || !it->check)
        return true;
    return runCheck(*it);
}
