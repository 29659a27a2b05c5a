#include "app/MervaneApp.h"

int main(int argc, char** argv) {
    auto arguments = mervane::argumentsAfterProgramName(argc, argv);
    mervane::CMervaneApp app(argc, argv, std::move(arguments));
    return app.startApplication();
}
