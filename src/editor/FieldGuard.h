#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Checks the editor's fields as the user types and when the user leaves one.
// A field whose value is refused takes the focus back and keeps its text
// until the user enters a value it accepts; meanwhile no other field is
// checked, so two refused fields cannot pull the focus to and fro.
class FieldGuard : public QObject
{
    Q_OBJECT
public:
    enum class Keys {
        Any,
        Numeric,     // digits, the decimal separator, Backspace, Enter
        NumericFive, // the same, at most five characters
        None,        // every key refused
    };
    // Shows its own messages; false refuses the value.
    using Check = std::function<bool()>;

    explicit FieldGuard(QObject *parent = nullptr);

    // keyTarget is the widget that receives the keys when it is not the
    // field itself (the line edit inside an editable combo box).
    void watch(QWidget *field, Keys keys, Check check = {}, QWidget *keyTarget = nullptr);

    // Before an action that uses the fields: the value of the focused field
    // is checked now (a shortcut does not move the focus); false while a
    // refused value waits for correction, the focus then back on its field.
    [[nodiscard]] bool settle();
    QWidget *refusedField() const { return m_refused; }
    // A value refused elsewhere (a write checks what it sends): the field
    // takes the focus and keeps it until corrected, as if the user had left it.
    void refuse(QWidget *field);
    // A new record replaces every text, refused ones included.
    void forgetRefusal() { m_refused = nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry
    {
        QWidget *field = nullptr;
        Keys keys = Keys::Any;
        Check check;
    };
    bool filterKey(const Entry &entry, QObject *target, QKeyEvent *event);
    bool runCheck(const Entry &entry);
    void returnFocus(QWidget *field);

    QHash<QObject *, Entry> m_fields;   // by the field
    QHash<QObject *, QWidget *> m_keys; // key target -> field
    QPointer<QWidget> m_refused;
    bool m_checking = false;
};
