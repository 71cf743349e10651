// A single-line, editable text field with a placeholder: the text controls of
// the screens. Its value is read as typed, without trimming.
#pragma once

#include <QLineEdit>

class TextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit TextField(QWidget *parent = nullptr);

    QString stringValue() const { return text(); }
    void setStringValue(const QString &value) { setText(value); }
    QString placeholderString() const { return placeholderText(); }
    // The placeholder also names the field for a screen reader unless it has a name already.
    void setPlaceholderString(const QString &placeholder);
    bool isEditable() const { return !isReadOnly(); }
    void setEditable(bool editable) { setReadOnly(!editable); }
};
