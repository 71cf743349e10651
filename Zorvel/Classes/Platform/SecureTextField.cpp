#include "SecureTextField.h"

SecureTextField::SecureTextField(QWidget *parent)
    : TextField(parent)
{
    setEchoMode(QLineEdit::Password);
    // No input method may see or suggest the secret.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
}
