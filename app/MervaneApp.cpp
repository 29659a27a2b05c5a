#include "app/MervaneApp.h"

#include <sys/socket.h>

#include <QFileInfo>
#include <QMessageBox>

#include "link/UniqueFd.h"
#include "net/Adapters.h"
#include "net/LinuxAdapterSource.h"
#include "ui/MervaneDlg.h"
#include "ui/MessagePresenter.h"

namespace mervane {

std::vector<std::string> argumentsAfterProgramName(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return arguments;
}

bool socketsAvailable() {
    const UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    return probe.valid();
}

CMervaneApp::CMervaneApp(int& argc, char** argv, std::vector<std::string> arguments)
    : QApplication(argc, argv), arguments_(std::move(arguments)) {
    // Lets the desktop match the window with the installed desktop entry and its icon.
    setDesktopFileName(QStringLiteral("io.github.mervane.Mervane"));
}

QString CMervaneApp::applicationTitle() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

int CMervaneApp::startApplication() {
    if (!socketsAvailable()) {
        QMessageBox box(
            QMessageBox::Warning, applicationTitle(),
            QCoreApplication::translate("CMervaneApp", "Windows ソケットの初期化に失敗しました。"),
            QMessageBox::Ok);
        box.exec();
        return 1;
    }
    LinuxAdapterSource adapters;
    MessageBoxPresenter presenter;
    CMervaneDlg dialog(link_, adapters, presenter, arguments_, applicationTitle());
    return dialog.runModal() == -1 ? 1 : 0;
}

}  // namespace mervane
