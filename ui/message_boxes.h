// Modal message boxes with a fixed text, caption, icon, buttons and default
// button. Tests replace the box by a script that records each message and
// answers as the test says.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "data/window_interface.h"

namespace kalbor {

using TMessageBoxScript = std::function<TModalResult(
    const std::string& text, const std::string& caption, TMsgIcon icon, TMsgButtons buttons,
    TModalResult default_button)>;

// Installs (or, with an empty function, removes) the script.
void SetMessageBoxScript(TMessageBoxScript script);

TModalResult RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                           TMsgIcon icon, TMsgButtons buttons, TModalResult default_button);

// The application's error display: the message of an error that no handler
// caught, in a box with the error icon; the program keeps running.
void ShowErrorMessage(QWidget* parent, const std::string& message);

}  // namespace kalbor
