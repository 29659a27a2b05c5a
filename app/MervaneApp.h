#pragma once

#include <QApplication>
#include <QString>

#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "ui/WindowTranslation.h"

namespace mervane {

// The application: owns the one DeviceLink of the process and runs the window modally, in the
// language the locale asks for.
class CMervaneApp final : public QApplication {
  public:
    // `argc` and `argv` as main() received them. Qt takes its own options out of them, so
    // `arguments` is the copy made before (argumentsAfterProgramName).
    CMervaneApp(int& argc, char** argv, std::vector<std::string> arguments);

    // Checks that the system can give the program sockets, then runs the window until it is
    // closed. Returns the process's exit status: 0 when the window was closed, 1 when the program
    // could not start (the operator has been told why).
    int startApplication();

    // The program file's name without its extension; the caption of every message box.
    static QString applicationTitle();

  private:
    std::vector<std::string> arguments_;
    WindowTranslation translation_{windowLanguageOfEnvironment()};
    DeviceLink link_;
};

// The arguments after the program's name, as the process received them.
std::vector<std::string> argumentsAfterProgramName(int argc, const char* const* argv);

// Whether an IPv4 socket can be created at all (the system's counterpart of starting a socket
// library); the window cannot do anything without one.
bool socketsAvailable();

}  // namespace mervane
