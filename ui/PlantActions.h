#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fleet/Profile.h"
#include "link/DeviceLink.h"
#include "ui/PlantListModel.h"
#include "ui/PlantRun.h"
#include "ui/PlantTexts.h"

namespace mervane {

// How the plant list's actions reach the operator and the units; tests replace each.
struct PlantActionSeams {
    std::function<bool(const QString& question)> ask;  // Yes (true) or No
    std::function<void(const QString& text)> tell;     // a message box
    std::function<QString()> chooseProfile;            // a profile file; empty: cancelled
    std::function<void(DeviceLink&)> prepareLink;      // bind address, trace, time-outs
    uint16_t port = 10003;
    int32_t identTimeoutMs = 2000;
    int jobs = 16;
};

// The plant list's actions on the ticked units: 設定受信, プロファイル適用..., Start and Stop.
// Each asks its questions on the window thread (the write question once, then, after a first pass
// that leaves units holding one-shot output settings alone, the one-shot question once, naming
// how many), runs the fleet's per-unit work on a PlantRun, and puts each unit's result in the
// model as it comes. Writes are made only where the unit differs (変更なし otherwise), and an
// apply is always checked by reading back.
//
// Window thread only.
class PlantActions final : public QObject {
    Q_OBJECT

  public:
    PlantActions(PlantListModel& model, PlantActionSeams seams, QObject* parent = nullptr);
    ~PlantActions() override;

    // False when nothing was started: nothing ticked, a question answered No, no profile chosen,
    // or one that cannot be read (the operator has been told).
    bool start(PlantAction action);
    bool running() const { return run_ != nullptr; }
    // Stops the units not yet being written; those being written finish. True when nothing was
    // being written.
    bool cancel();
    // cancel(), then waits for the units being written and takes their results.
    void stopAndWait();

  signals:
    void progress(int done, int total);
    void status(const QString& text, bool problem);
    void runningChanged(bool running);

  private:
    bool startPass(const std::vector<int>& rows, bool clearOneShot);
    void takeOutcomes();
    void finishPass();

    PlantListModel& model_;
    const PlantActionSeams seams_;
    PlantAction action_ = PlantAction::kRead;
    std::optional<fleet::Profile> profile_;  // the apply's, alive while its run is
    std::unique_ptr<PlantRun> run_;
    bool secondPass_ = false;
    int done_ = 0;
    int total_ = 0;
    PlantTally tally_;
    std::vector<int> oneShotRows_;  // left alone in the first pass
};

}  // namespace mervane
