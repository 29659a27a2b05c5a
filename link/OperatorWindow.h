#pragma once

#include <string>

namespace mervane {

// The only way the device link reaches the operator. The window implements it; so do the
// command-line front end and the tests. Calls come from whichever thread runs the link
// operation, and return only when the operator has seen (or answered) what they show.
class OperatorWindow {
  public:
    virtual ~OperatorWindow() = default;

    // A modal message box with an OK button, captioned with the application's name.
    virtual void showMessage(const std::string& text) = 0;
};

}  // namespace mervane
