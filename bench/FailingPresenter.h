#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

#include "ui/MessagePresenter.h"

namespace mervane::bench {

// A message box means the measured run went wrong: say what it showed and give up.
class FailingPresenter final : public MessagePresenter {
  public:
    explicit FailingPresenter(const char* program) : program_(program) {}

    void showMessage(QWidget*, const QString&, const QString& text) override { fail(text); }
    bool askYesNo(QWidget*, const QString&, const QString& text) override {
        fail(text);
        return false;
    }

    [[noreturn]] void fail(const QString& text) const {
        std::fprintf(stderr, "%s: the window showed \"%s\"\n", program_, text.toUtf8().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }

  private:
    const char* program_;
};

}  // namespace mervane::bench
