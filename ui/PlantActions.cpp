#include "ui/PlantActions.h"

#include "ui/ProfileTexts.h"
#include "ui/QtText.h"

namespace mervane {

namespace {

fleet::UnitAction unitAction(PlantAction action) {
    switch (action) {
        case PlantAction::kApplyProfile:
            return fleet::UnitAction::kApply;
        case PlantAction::kStart:
            return fleet::UnitAction::kStart;
        case PlantAction::kStop:
            return fleet::UnitAction::kStop;
        case PlantAction::kRead:
            break;
    }
    return fleet::UnitAction::kRead;
}

}  // namespace

PlantActions::PlantActions(PlantListModel& model, PlantActionSeams seams, QObject* parent)
    : QObject(parent), model_(model), seams_(std::move(seams)) {}

PlantActions::~PlantActions() {
    stopAndWait();
}

bool PlantActions::start(PlantAction action) {
    if (running()) return false;
    const std::vector<int> rows = model_.checkedRows();
    if (rows.empty()) return false;
    profile_.reset();
    if (action == PlantAction::kApplyProfile) {
        const QString path = seams_.chooseProfile ? seams_.chooseProfile() : QString();
        if (path.isEmpty()) return false;
        fleet::ProfileReading reading = fleet::readProfileFile(path.toStdString());
        if (const auto* error = std::get_if<fleet::ProfileError>(&reading)) {
            seams_.tell(profileReadFailureText(*error, path));
            return false;
        }
        profile_ = std::get<fleet::Profile>(std::move(reading));
    }
    if (action != PlantAction::kRead && !seams_.ask(plantWriteQuestion(rows.size()))) return false;
    action_ = action;
    tally_ = {};
    oneShotRows_.clear();
    secondPass_ = false;
    return startPass(rows, false);
}

bool PlantActions::startPass(const std::vector<int>& rows, bool clearOneShot) {
    PlantRun::Setup setup;
    for (const int row : rows)
        setup.units.push_back({row, model_.addressText(row).toStdString()});
    setup.task.action = unitAction(action_);
    setup.task.profile = profile_ ? &*profile_ : nullptr;
    setup.task.verify = action_ == PlantAction::kApplyProfile;
    setup.task.onlyWhereDifferent = true;
    setup.task.identTimeoutMs = seams_.identTimeoutMs;
    setup.port = seams_.port;
    setup.clearOneShot = clearOneShot;
    setup.jobs = seams_.jobs;
    setup.prepareLink = seams_.prepareLink;
    auto run = std::make_unique<PlantRun>(std::move(setup));
    PlantRun* const started = run.get();
    // Late wakes of an earlier run find it gone and are ignored.
    connect(started, &PlantRun::outcomesReady, this, [this, started] {
        if (run_.get() == started) takeOutcomes();
    });
    connect(started, &PlantRun::finished, this, [this, started] {
        if (run_.get() == started) finishPass();
    });
    if (!run->start()) {
        emit status(tr("処理を始められませんでした。"), true);
        return false;
    }
    run_ = std::move(run);
    model_.markWaiting(rows);
    done_ = 0;
    total_ = static_cast<int>(rows.size());
    emit progress(done_, total_);
    emit status(tr("%n 台のユニットを処理しています...", nullptr, total_), false);
    emit runningChanged(true);
    return true;
}

void PlantActions::takeOutcomes() {
    PlantRun::Outcomes outcomes = run_->takeOutcomes();
    if (outcomes.empty()) return;
    for (const auto& [row, outcome] : outcomes) {
        if (outcome.result == fleet::UnitResult::kOneShotLeft && !secondPass_) {
            oneShotRows_.push_back(row);
        } else {
            tally_.add(outcome);
        }
    }
    done_ += static_cast<int>(outcomes.size());
    model_.setResults(outcomes);
    emit progress(done_, total_);
}

void PlantActions::finishPass() {
    run_->wait();
    takeOutcomes();
    const bool cancelled = run_->cancelled();
    run_.reset();
    // The one question about one-shot settings, once per action, for every unit that holds them.
    if (!secondPass_ && !oneShotRows_.empty() && !cancelled) {
        secondPass_ = true;
        const std::vector<int> rows = std::exchange(oneShotRows_, {});
        if (seams_.ask(plantOneShotQuestion(rows.size())) && startPass(rows, true)) return;
        tally_.notStarted += rows.size();
    } else {
        tally_.notStarted += oneShotRows_.size();
        oneShotRows_.clear();
    }
    QString summary = plantSummaryText(tally_);
    if (cancelled) summary = tr("中止しました。") + summary;
    emit status(summary, tally_.failed > 0);
    emit runningChanged(false);
}

bool PlantActions::cancel() {
    if (!running()) return true;
    const bool idle = run_->cancel();
    if (!idle) {
        emit status(tr("書き込み中のユニットが終わるのを待っています..."), false);
    }
    return idle;
}

void PlantActions::stopAndWait() {
    if (!running()) return;
    run_->cancel();
    run_->wait();
    takeOutcomes();
    run_.reset();
}

}  // namespace mervane
